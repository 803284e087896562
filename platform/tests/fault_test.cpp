// Hardware faults as structured exceptions: guards and their filters, the
// unhandled-exception filter, and a fault going on to the host.
#include <gtest/gtest.h>
#include <platform/seh.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The address comes through a volatile so that the compiler cannot see it.
volatile ULONG_PTR unmappedAddress = 0x10;
volatile int zero = 0;

__attribute__((no_sanitize("address"))) void WriteUnmapped() {
    *reinterpret_cast<volatile int*>(unmappedAddress) = 1;
}

volatile int quotient = 0;

__attribute__((no_sanitize("integer-divide-by-zero"))) void DivideByZero() {
    quotient = 100 / zero;
}

TEST(Faults, AGuardThatHandlesAnAccessViolationAbandonsItsBody) {
    DWORD code = 0;
    ULONG_PTR touched = 0;
    PVOID where = nullptr;
    bool finishedBody = false;
    bool handled = platform::seh::Guarded(
        [&](EXCEPTION_POINTERS* pointers) {
            code = pointers->ExceptionRecord->ExceptionCode;
            touched = pointers->ExceptionRecord->ExceptionInformation[1];
            where = pointers->ExceptionRecord->ExceptionAddress;
            return LONG{EXCEPTION_EXECUTE_HANDLER};
        },
        [&] {
            WriteUnmapped();
            finishedBody = true;
        });
    EXPECT_TRUE(handled);
    EXPECT_FALSE(finishedBody);
    EXPECT_EQ(code, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_EQ(touched, ULONG_PTR{0x10});
    EXPECT_NE(where, nullptr);

    // The guard is gone: the next guard is asked, not the old one.
    bool again = platform::seh::Guarded(
        [](EXCEPTION_POINTERS*) { return LONG{EXCEPTION_EXECUTE_HANDLER}; }, [] {});
    EXPECT_FALSE(again);
}

TEST(Faults, FiltersAreAskedInnermostFirstUntilOneHandles) {
    std::vector<std::string> asked;
    DWORD code = 0;
    bool innerReturned = false;
    bool outerHandled = platform::seh::Guarded(
        [&](EXCEPTION_POINTERS* pointers) {
            asked.push_back("outer");
            code = pointers->ExceptionRecord->ExceptionCode;
            return LONG{EXCEPTION_EXECUTE_HANDLER};
        },
        [&] {
            platform::seh::Guarded(
                [&](EXCEPTION_POINTERS*) {
                    asked.push_back("inner");
                    return LONG{EXCEPTION_CONTINUE_SEARCH};
                },
                [] { DivideByZero(); });
            innerReturned = true;
        });
    EXPECT_TRUE(outerHandled);
    EXPECT_FALSE(innerReturned);
    EXPECT_EQ(asked, (std::vector<std::string>{"inner", "outer"}));
    EXPECT_EQ(code, EXCEPTION_INT_DIVIDE_BY_ZERO);
}

TEST(Faults, SettingTheUnhandledFilterReturnsThePreviousOne) {
    auto first = [](EXCEPTION_POINTERS*) -> LONG { return EXCEPTION_CONTINUE_SEARCH; };
    auto second = [](EXCEPTION_POINTERS*) -> LONG { return EXCEPTION_EXECUTE_HANDLER; };
    EXPECT_EQ(SetUnhandledExceptionFilter(first), nullptr);
    EXPECT_EQ(SetUnhandledExceptionFilter(second), +first);
    EXPECT_EQ(SetUnhandledExceptionFilter(nullptr), +second);
}

// Said on standard error from inside a filter, where little else is safe.
void Say(const char* text) {
    (void)!write(STDERR_FILENO, text, strlen(text));
}

LONG WINAPI SayAndContinueSearch(EXCEPTION_POINTERS* pointers) {
    Say(pointers->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION
            ? "unhandled filter saw an access violation\n"
            : "unhandled filter saw something else\n");
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI EndTheProcess(EXCEPTION_POINTERS*) {
    return EXCEPTION_EXECUTE_HANDLER;
}

using FaultsDeathTest = ::testing::Test;

TEST_F(FaultsDeathTest, AFaultNoGuardHandlesReachesTheFilterAndThenTheHost) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            signal(SIGSEGV, SIG_DFL);
            SetUnhandledExceptionFilter(&SayAndContinueSearch);
            platform::seh::Guarded(
                [](EXCEPTION_POINTERS*) {
                    Say("guard asked first\n");
                    return LONG{EXCEPTION_CONTINUE_SEARCH};
                },
                [] { WriteUnmapped(); });
        },
        ::testing::KilledBySignal(SIGSEGV),
        "guard asked first\nunhandled filter saw an access violation");
}

TEST_F(FaultsDeathTest, AnUnhandledFilterThatHandlesEndsTheProcessWithTheCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetUnhandledExceptionFilter(&EndTheProcess);
            DivideByZero();
        },
        ::testing::ExitedWithCode(EXCEPTION_INT_DIVIDE_BY_ZERO & 0xFF), "");
}

}  // namespace
