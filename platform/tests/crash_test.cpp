// C++ exceptions as structured exceptions, and crashes that no guard handles:
// the unhandled-exception filter first, then the host's crash handler, which
// lets the rest of the process go on while the crashed thread stays blocked.
#include <gtest/gtest.h>
#include <platform/clock.h>
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

// What a filter saw of the exception.
struct Seen {
    DWORD code = 0;
    DWORD flags = 0;
    DWORD parameters = 0;
    ULONG_PTR magic = 0;
    std::string description;
};

Seen Look(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    return {record.ExceptionCode, record.ExceptionFlags, record.NumberParameters,
            record.ExceptionInformation[0], platform::seh::DescribeException(record)};
}

struct SetOnDestruction {
    bool& flag;
    ~SetOnDestruction() { flag = true; }
};

}  // namespace

TEST(CppExceptions, AGuardWhoseFilterHandlesOneSwallowsItAfterTheBodyUnwound) {
    Seen seen;
    bool unwound = false, unwoundBeforeTheFilter = false;
    bool handled = platform::seh::Guarded(
        [&](EXCEPTION_POINTERS* pointers) {
            seen = Look(pointers);
            unwoundBeforeTheFilter = unwound;
            return LONG{EXCEPTION_EXECUTE_HANDLER};
        },
        [&] {
            SetOnDestruction guard{unwound};
            throw std::runtime_error("disk full");
        });
    EXPECT_TRUE(handled);
    EXPECT_TRUE(unwoundBeforeTheFilter);
    EXPECT_EQ(seen.code, platform::seh::kCppExceptionCode);
    EXPECT_EQ(seen.flags, static_cast<DWORD>(EXCEPTION_NONCONTINUABLE));
    EXPECT_EQ(seen.parameters, 3u);
    EXPECT_EQ(seen.magic, ULONG_PTR{0x19930520});
    EXPECT_EQ(seen.description, "C++ exception std::runtime_error: disk full");
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
    platform::host::ProcessCrash last;
    HANDLE reported = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};
Crashes* crashes = nullptr;

LONG WINAPI NoteAndContinueSearch(EXCEPTION_POINTERS* pointers) {
    std::lock_guard guard(crashes->lock);
    crashes->events.push_back("filter " + Look(pointers).description);
    return EXCEPTION_CONTINUE_SEARCH;
}

class CrashHandler : public ::testing::Test {
  protected:
    void SetUp() override {
        crashes = &seen;
        SetUnhandledExceptionFilter(&NoteAndContinueSearch);
        platform::host::OnProcessCrash([](const platform::host::ProcessCrash& crash) {
            std::lock_guard guard(crashes->lock);
            crashes->events.push_back("host " + crash.description);
            crashes->last = crash;
            SetEvent(crashes->reported);
        });
    }
    void TearDown() override {
        platform::host::OnProcessCrash(nullptr);
        SetUnhandledExceptionFilter(nullptr);
    }

    // Starts a thread that runs `body` and waits until its crash is reported.
    HANDLE CrashOnAThread(LPTHREAD_START_ROUTINE body, DWORD& id) {
        HANDLE thread = CreateThread(nullptr, 0, body, nullptr, 0, &id);
        EXPECT_EQ(WaitForSingleObject(seen.reported, INFINITE), WAIT_OBJECT_0);
        return thread;
    }

    // The crashed thread never ends: it is blocked, for ever.
    static void ExpectParked(HANDLE thread, DWORD id) {
        DWORD exitCode = 0;
        EXPECT_TRUE(GetExitCodeThread(thread, &exitCode));
        EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE));
        bool waiting = false;
        for (int i = 0; i < 1000 && !waiting; ++i) {
            for (const auto& info : platform::host::ListThreads())
                waiting |= info.id == id && info.waiting;
            if (!waiting)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(waiting);
    }

    Crashes seen;
};

DWORD WINAPI Throw(LPVOID) {
    throw std::logic_error("no profile");
}

DWORD WINAPI Fault(LPVOID) {
    WriteUnmapped();
    return 0;
}

}  // namespace

TEST_F(CrashHandler, AnExceptionLeavingAThreadReachesTheFilterThenTheHost) {
    DWORD id = 0;
    HANDLE thread = CrashOnAThread(&Throw, id);
    EXPECT_EQ(seen.events,
              (std::vector<std::string>{"filter C++ exception std::logic_error: no profile",
                                        "host C++ exception std::logic_error: no profile"}));
    EXPECT_EQ(seen.last.code, platform::seh::kCppExceptionCode);
    EXPECT_EQ(seen.last.threadId, id);
    ExpectParked(thread, id);
}

TEST_F(CrashHandler, AFaultOnAThreadReachesTheFilterThenTheHost) {
    DWORD id = 0;
    HANDLE thread = CrashOnAThread(&Fault, id);
    EXPECT_EQ(seen.events, (std::vector<std::string>{"filter access violation, SIGSEGV",
                                                     "host access violation, SIGSEGV"}));
    EXPECT_EQ(seen.last.code, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_EQ(seen.last.threadId, id);
    ExpectParked(thread, id);
}

namespace {

void ThrowOutOfRange() {
    throw std::out_of_range("index 7");
}

}  // namespace

TEST_F(CrashHandler, AnExceptionThatReachesTerminateOnAHostThreadIsACrashToo) {
    // Nothing catches it on a thread of the standard library either.
    std::thread host([] { ThrowOutOfRange(); });
    host.detach();  // it never ends
    EXPECT_EQ(WaitForSingleObject(seen.reported, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(seen.events.back(), "host C++ exception std::out_of_range: index 7");
}

// A wait on a crashed thread ends at its deadline when time passes by itself,
// as a quit that waits for a worker must.
TEST_F(CrashHandler, AWaitOnACrashedThreadEndsAtItsDeadlineOnVirtualTime) {
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 9, 0, 0, 0}, 1000);
    platform::host::AdvanceWaitsForThisThread();
    platform::host::AdvanceWhenAllWait(true);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            Sleep(3000);
            throw std::runtime_error("late");
        },
        nullptr, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(GetTickCount(), 11000u);
    EXPECT_EQ(seen.last.description, "C++ exception std::runtime_error: late");
    platform::host::AdvanceWhenAllWait(false);
}

namespace {

using CrashHandlerDeathTest = ::testing::Test;

void Say(const char* text) {
    (void)!write(STDERR_FILENO, text, strlen(text));
}

LONG WINAPI SayAndContinueSearch(EXCEPTION_POINTERS* pointers) {
    Say(("unhandled filter saw " + platform::seh::DescribeException(*pointers->ExceptionRecord) +
         "\n")
            .c_str());
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI EndTheProcess(EXCEPTION_POINTERS*) {
    return EXCEPTION_EXECUTE_HANDLER;
}

void RunOnAThreadAndWait(LPTHREAD_START_ROUTINE body) {
    HANDLE thread = CreateThread(nullptr, 0, body, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
}

}  // namespace

// Without a crash handler a crash on any thread ends the process, as Windows
// would, after the unhandled filter.
TEST_F(CrashHandlerDeathTest, WithoutAHandlerAnExceptionOnAThreadEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            SetUnhandledExceptionFilter(&SayAndContinueSearch);
            RunOnAThreadAndWait(&Throw);
        },
        "unhandled filter saw C\\+\\+ exception std::logic_error: no profile\n"
        "terminate called after throwing an instance of 'std::logic_error'");
}

TEST_F(CrashHandlerDeathTest, WithoutAHandlerAFaultOnAThreadEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            signal(SIGSEGV, SIG_DFL);
            SetUnhandledExceptionFilter(&SayAndContinueSearch);
            RunOnAThreadAndWait(&Fault);
        },
        ::testing::KilledBySignal(SIGSEGV), "unhandled filter saw access violation, SIGSEGV");
}

TEST_F(CrashHandlerDeathTest, AFilterThatHandlesAnExceptionEndsTheProcessWithTheCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetUnhandledExceptionFilter(&EndTheProcess);
            RunOnAThreadAndWait(&Throw);
        },
        ::testing::ExitedWithCode(platform::seh::kCppExceptionCode & 0xFF), "");
}
