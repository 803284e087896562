// C++ exceptions as structured exceptions, and crashes that no guard handles:
// the unhandled-exception filter first, then the host's crash handler, which
// lets the rest of the process go on while the crashed thread stays blocked.
#include <gtest/gtest.h>
#include <platform/crash.h>
#include <platform/seh.h>
#include <platform/threads.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

volatile ULONG_PTR unmappedAddress = 0x10;

__attribute__((no_sanitize("address"))) void WriteUnmapped() {
    *reinterpret_cast<volatile int*>(unmappedAddress) = 1;
}

struct SetOnDestruction {
    bool& flag;
    ~SetOnDestruction() { flag = true; }
};

}  // namespace

TEST(CppExceptions, AGuardWhoseFilterHandlesOneSwallowsItAfterTheBodyUnwound) {
    EXCEPTION_RECORD seen{};
    std::string description;
    bool unwound = false, unwoundBeforeTheFilter = false;
    bool handled = platform::seh::Guarded(
        [&](EXCEPTION_POINTERS* pointers) {
            seen = *pointers->ExceptionRecord;
            description = platform::seh::DescribeException(seen);
            unwoundBeforeTheFilter = unwound;
            return LONG{EXCEPTION_EXECUTE_HANDLER};
        },
        [&] {
            SetOnDestruction guard{unwound};
            throw std::runtime_error("disk full");
        });
    EXPECT_TRUE(handled);
    EXPECT_TRUE(unwoundBeforeTheFilter);
    EXPECT_EQ(seen.ExceptionCode, platform::seh::kCppExceptionCode);
    EXPECT_EQ(seen.ExceptionFlags, static_cast<DWORD>(EXCEPTION_NONCONTINUABLE));
    EXPECT_EQ(seen.NumberParameters, 3u);
    EXPECT_EQ(seen.ExceptionInformation[0], ULONG_PTR{0x19930520});
    EXPECT_EQ(description, "C++ exception std::runtime_error: disk full");
}

TEST(CppExceptions, FiltersThatContinueTheSearchLeaveItToOuterGuardsAndCatches) {
    std::vector<std::string> asked;
    auto filter = [&](const char* name, LONG answer) {
        return [&asked, name, answer](EXCEPTION_POINTERS*) {
            asked.push_back(name);
            return answer;
        };
    };
    // An outer guard handles what the inner one lets go.
    bool outerHandled = platform::seh::Guarded(filter("outer", EXCEPTION_EXECUTE_HANDLER), [&] {
        platform::seh::Guarded(filter("inner", EXCEPTION_CONTINUE_SEARCH), [] { throw 42; });
    });
    EXPECT_TRUE(outerHandled);
    EXPECT_EQ(asked, (std::vector<std::string>{"inner", "outer"}));

    // An exception that cannot be continued goes on searching; a C++ catch
    // outside every guard gets it as it was thrown.
    asked.clear();
    std::string caught;
    try {
        platform::seh::Guarded(filter("continue", EXCEPTION_CONTINUE_EXECUTION), [&] {
            platform::seh::Guarded(filter("search", EXCEPTION_CONTINUE_SEARCH),
                                   [] { throw std::invalid_argument("bad name"); });
        });
    } catch (const std::invalid_argument& error) {
        caught = error.what();
    }
    EXPECT_EQ(caught, "bad name");
    EXPECT_EQ(asked, (std::vector<std::string>{"search", "continue"}));
}

namespace {

// What the unhandled filter and the host's crash handler saw, in order.
struct Crashes {
    std::mutex lock;
    std::vector<std::string> events;
    std::vector<DWORD> codes, threads;
    HANDLE reported = CreateEventW(nullptr, FALSE, FALSE, nullptr);
};
Crashes* crashes = nullptr;

LONG WINAPI NoteAndContinueSearch(EXCEPTION_POINTERS* pointers) {
    std::lock_guard guard(crashes->lock);
    crashes->events.push_back("filter " +
                              platform::seh::DescribeException(*pointers->ExceptionRecord));
    return EXCEPTION_CONTINUE_SEARCH;
}

void NoteCrash(const platform::host::ProcessCrash& crash) {
    std::lock_guard guard(crashes->lock);
    crashes->events.push_back("host " + crash.description);
    crashes->codes.push_back(crash.code);
    crashes->threads.push_back(crash.threadId);
    SetEvent(crashes->reported);
}

DWORD WINAPI Throw(LPVOID) {
    throw std::logic_error("no profile");
}

DWORD WINAPI Fault(LPVOID) {
    WriteUnmapped();
    return 0;
}

void ThrowOutOfRange() {
    throw std::out_of_range("index 7");
}

// The crashed thread never ends: it stays blocked in a platform wait.
bool Parked(HANDLE thread, DWORD id) {
    DWORD exitCode = 0;
    GetExitCodeThread(thread, &exitCode);
    for (int i = 0; i < 1000 && exitCode == STILL_ACTIVE; ++i) {
        for (const auto& info : platform::host::ListThreads())
            if (info.id == id && info.waiting)
                return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

}  // namespace

// A C++ exception leaving a thread, a fault on a thread and an exception that
// reaches std::terminate on a thread of the standard library: each goes to
// the unhandled filter, then to the host, and the process goes on.
TEST(CrashHandler, CrashesOnAnyThreadReachTheFilterThenTheHostAndTheThreadStays) {
    Crashes seen;
    crashes = &seen;
    SetUnhandledExceptionFilter(&NoteAndContinueSearch);
    platform::host::OnProcessCrash(&NoteCrash);

    DWORD thrower = 0, faulter = 0;
    HANDLE throwing = CreateThread(nullptr, 0, &Throw, nullptr, 0, &thrower);
    ASSERT_EQ(WaitForSingleObject(seen.reported, INFINITE), WAIT_OBJECT_0);
    HANDLE faulting = CreateThread(nullptr, 0, &Fault, nullptr, 0, &faulter);
    ASSERT_EQ(WaitForSingleObject(seen.reported, INFINITE), WAIT_OBJECT_0);
    std::thread([] { ThrowOutOfRange(); }).detach();
    ASSERT_EQ(WaitForSingleObject(seen.reported, INFINITE), WAIT_OBJECT_0);
    platform::host::OnProcessCrash(nullptr);
    SetUnhandledExceptionFilter(nullptr);

    std::lock_guard guard(seen.lock);
    EXPECT_EQ(seen.events, (std::vector<std::string>{
                               "filter C++ exception std::logic_error: no profile",
                               "host C++ exception std::logic_error: no profile",
                               "filter access violation, SIGSEGV", "host access violation, SIGSEGV",
                               "filter C++ exception std::out_of_range: index 7",
                               "host C++ exception std::out_of_range: index 7"}));
    const DWORD cpp = platform::seh::kCppExceptionCode;
    EXPECT_EQ(seen.codes, (std::vector<DWORD>{cpp, EXCEPTION_ACCESS_VIOLATION, cpp}));
    ASSERT_EQ(seen.threads.size(), 3u);
    EXPECT_EQ(seen.threads[0], thrower);
    EXPECT_EQ(seen.threads[1], faulter);
    EXPECT_TRUE(Parked(throwing, thrower));
    EXPECT_TRUE(Parked(faulting, faulter));
    EXPECT_EQ(WaitForSingleObject(throwing, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

namespace {

using CrashHandlerDeathTest = ::testing::Test;

LONG WINAPI SayAndContinueSearch(EXCEPTION_POINTERS* pointers) {
    std::string text = "unhandled filter saw " +
                       platform::seh::DescribeException(*pointers->ExceptionRecord) + "\n";
    (void)!write(STDERR_FILENO, text.data(), text.size());
    return EXCEPTION_CONTINUE_SEARCH;
}

void CrashOnAThread(LPTHREAD_START_ROUTINE body) {
    signal(SIGSEGV, SIG_DFL);
    SetUnhandledExceptionFilter(&SayAndContinueSearch);
    WaitForSingleObject(CreateThread(nullptr, 0, body, nullptr, 0, nullptr), INFINITE);
}

}  // namespace

// Without a crash handler a crash on any thread ends the process after the
// unhandled filter, as Windows would end it.
TEST_F(CrashHandlerDeathTest, WithoutAHandlerACrashOnAThreadEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(CrashOnAThread(&Throw),
                 "unhandled filter saw C\\+\\+ exception std::logic_error: no profile\n"
                 "terminate called after throwing an instance of 'std::logic_error'");
    EXPECT_EXIT(CrashOnAThread(&Fault), ::testing::KilledBySignal(SIGSEGV),
                "unhandled filter saw access violation, SIGSEGV");
}
