#include <windows.h>

#include "platform/clock.h"
#include "test_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <vector>

namespace {

const DWORD kTimeout = WAIT_TIMEOUT;

// On virtual time, AdvanceClock(0) returns once every thread started through
// CreateThread has blocked or ended: the tests use it to let waiters settle.
class Sync : public ::testing::Test {
  protected:
    void SetUp() override {
        SYSTEMTIME start{};
        start.wYear = 2007;
        start.wMonth = 3;
        start.wDay = 4;
        platform::host::UseVirtualClock(start);
    }
    static void Settle() { platform::host::AdvanceClock(0); }
};

// Threads that each wait once on `event` and count their release.
struct Waiters {
    Waiters(HANDLE event, int count) {
        for (int i = 0; i < count; ++i) {
            threads.emplace_back([this, event] {
                DWORD result = WaitForSingleObject(event, INFINITE);
                if (result == WAIT_OBJECT_0)
                    ++released;
                return result;
            });
        }
    }
    std::atomic<int> released{0};
    std::deque<TestThread> threads;
};

DWORD LastErrorOf(DWORD result) {
    EXPECT_EQ(result, WAIT_FAILED);
    return GetLastError();
}

}  // namespace

TEST_F(Sync, AManualResetEventReleasesEveryWaiterAndStaysSignalled) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Waiters waiters(event, 4);
    Settle();
    EXPECT_EQ(waiters.released, 0);
    EXPECT_TRUE(SetEvent(event));
    Settle();
    EXPECT_EQ(waiters.released, 4);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), kTimeout);
    CloseHandle(event);
}

TEST_F(Sync, AnAutoResetEventReleasesExactlyOneWaiterPerSignal) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    Waiters waiters(event, 3);
    Settle();
    for (int expected = 1; expected <= 3; ++expected) {
        EXPECT_TRUE(SetEvent(event));
        Settle();
        EXPECT_EQ(waiters.released, expected);
        // The released waiter consumed the signal.
        EXPECT_EQ(WaitForSingleObject(event, 0), kTimeout);
    }
    // With no waiter the signal is kept for the next wait, once.
    EXPECT_TRUE(SetEvent(event));
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), kTimeout);
    CloseHandle(event);
}

TEST_F(Sync, PulseReleasesTheCurrentWaitersAndLeavesTheEventReset) {
    HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_TRUE(PulseEvent(manual));  // nobody waits: nothing is kept
    EXPECT_EQ(WaitForSingleObject(manual, 0), kTimeout);
    {
        Waiters onManual(manual, 3);
        Waiters onAutomatic(automatic, 3);
        Settle();
        EXPECT_TRUE(PulseEvent(manual));
        EXPECT_TRUE(PulseEvent(automatic));
        Settle();
        EXPECT_EQ(onManual.released, 3);
        EXPECT_EQ(onAutomatic.released, 1);
        EXPECT_EQ(WaitForSingleObject(manual, 0), kTimeout);
        EXPECT_EQ(WaitForSingleObject(automatic, 0), kTimeout);
        SetEvent(automatic);
        SetEvent(automatic);
        Settle();
        EXPECT_EQ(onAutomatic.released, 3);
    }
    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST_F(Sync, NamedEventsShareOneObjectAndKeepTheFirstCreatorsSettings) {
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, L"BV-test-event");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    SetLastError(0);
    HANDLE second = CreateEventW(nullptr, FALSE, TRUE, L"BV-test-event");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(second, 0), kTimeout);  // not created signalled

    EXPECT_TRUE(SetEvent(first));
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);  // still manual-reset

    HANDLE opened = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"BV-test-event");
    ASSERT_NE(opened, nullptr);
    ResetEvent(opened);
    EXPECT_EQ(WaitForSingleObject(first, 0), kTimeout);

    // Kernel object names are case-sensitive.
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"bv-test-event"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // The name goes with the last handle.
    CloseHandle(first);
    CloseHandle(second);
    CloseHandle(opened);
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"BV-test-event"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    HANDLE again = CreateEventW(nullptr, FALSE, FALSE, L"BV-test-event");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(again);
}

TEST_F(Sync, EventCallsOnHandlesThatAreNotEventsFailWithInvalidHandle) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(event);
    SetLastError(0);
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    TestThread thread([] { return DWORD{0}; });
    SetLastError(0);
    EXPECT_FALSE(ResetEvent(thread.handle()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(PulseEvent(nullptr));
}

TEST_F(Sync, WaitForMultipleReportsTheLowestSignalledIndexAndChecksItsArguments) {
    std::vector<HANDLE> events(65);
    for (auto& event : events)
        event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetEvent(events[63]);
    SetEvent(events[40]);
    EXPECT_EQ(WaitForMultipleObjects(64, events.data(), FALSE, 0), WAIT_OBJECT_0 + 40);
    EXPECT_EQ(LastErrorOf(WaitForMultipleObjects(65, events.data(), FALSE, 0)),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(LastErrorOf(WaitForMultipleObjects(0, events.data(), FALSE, 0)),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    HANDLE closed = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    CloseHandle(closed);
    HANDLE withClosed[] = {events[40], closed};
    EXPECT_EQ(LastErrorOf(WaitForMultipleObjects(2, withClosed, FALSE, 0)),
              static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(LastErrorOf(WaitForSingleObject(reinterpret_cast<HANDLE>(0x4242), 0)),
              static_cast<DWORD>(ERROR_INVALID_HANDLE));

    // One object twice: fine for wait-any, invalid for wait-all, even through
    // two handles of one named event.
    HANDLE twice[] = {events[1], events[40], events[1]};
    EXPECT_EQ(WaitForMultipleObjects(3, twice, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(LastErrorOf(WaitForMultipleObjects(3, twice, TRUE, 0)),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HANDLE named[] = {CreateEventW(nullptr, TRUE, TRUE, L"BV-twice"),
                      CreateEventW(nullptr, TRUE, TRUE, L"BV-twice")};
    EXPECT_EQ(LastErrorOf(WaitForMultipleObjects(2, named, TRUE, 0)),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    for (HANDLE handle : named)
        CloseHandle(handle);
    for (HANDLE event : events)
        CloseHandle(event);
}

TEST_F(Sync, WaitAllTakesEveryObjectAtOnceOrNone) {
    HANDLE first = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE second = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE both[] = {first, second};

    SetEvent(first);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), kTimeout);
    // The failed wait-all did not consume the signalled event.
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);

    DWORD allResult = 0;
    TestThread waitsForAll([&] {
        allResult = WaitForMultipleObjects(2, both, TRUE, INFINITE);
        return DWORD{0};
    });
    Waiters waitsForFirst(first, 1);
    Settle();
    // The wait-all cannot be satisfied yet, so the first event goes to the
    // thread that waits for it alone.
    SetEvent(first);
    Settle();
    EXPECT_EQ(waitsForFirst.released, 1);
    EXPECT_EQ(WaitForSingleObject(waitsForAll.handle(), 0), kTimeout);

    SetEvent(second);
    Settle();
    EXPECT_EQ(WaitForSingleObject(waitsForAll.handle(), 0), kTimeout);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);  // still there: take it back
    SetEvent(second);
    SetEvent(first);
    Settle();
    EXPECT_EQ(allResult, WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), kTimeout);  // both consumed
    CloseHandle(first);
    CloseHandle(second);
}

TEST_F(Sync, AThreadHandleIsSignalledWhenTheThreadEndsAndKeepsItsExitCode) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD idInside = 0;
    TestThread thread([&] {
        idInside = GetCurrentThreadId();
        WaitForSingleObject(go, INFINITE);
        return DWORD{42};
    });
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread.handle(), &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    Settle();
    EXPECT_EQ(WaitForSingleObject(thread.handle(), 0), kTimeout);

    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(thread.handle(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread.handle(), 0), WAIT_OBJECT_0);  // stays signalled
    EXPECT_TRUE(GetExitCodeThread(thread.handle(), &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(idInside, thread.id());
    EXPECT_NE(idInside, GetCurrentThreadId());
    EXPECT_NE(idInside, 0u);
    CloseHandle(go);
}

TEST_F(Sync, ASuspendedThreadRunsOnlyOnceResumed) {
    std::atomic<bool> ran{false};
    TestThread thread(
        [&] {
            ran = true;
            return DWORD{0};
        },
        CREATE_SUSPENDED);
    Settle();
    EXPECT_FALSE(ran);
    EXPECT_EQ(ResumeThread(thread.handle()), 1u);
    EXPECT_EQ(WaitForSingleObject(thread.handle(), INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(ran);
    EXPECT_EQ(ResumeThread(thread.handle()), 0u);
    EXPECT_EQ(ResumeThread(nullptr), static_cast<DWORD>(-1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Sync, ClosingAThreadHandleLeavesTheThreadRunning) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    struct Events {
        HANDLE go, done;
    } events{go, done};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            auto* events = static_cast<Events*>(param);
            WaitForSingleObject(events->go, INFINITE);
            SetEvent(events->done);
            return 0;
        },
        &events, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    Settle();  // the thread has ended before `events` goes
    CloseHandle(go);
    CloseHandle(done);
}

TEST_F(Sync, PseudoHandlesNameTheCurrentThreadAndProcess) {
    // Neither can end while the caller waits on it.
    EXPECT_EQ(WaitForSingleObject(GetCurrentThread(), 0), kTimeout);
    EXPECT_EQ(WaitForSingleObject(GetCurrentProcess(), 0), kTimeout);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(GetCurrentThread(), &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));

    DWORD timedOut = 0;
    TestThread thread([&] {
        timedOut = WaitForSingleObject(GetCurrentThread(), 500);
        return DWORD{0};
    });
    platform::host::AdvanceClock(500);
    EXPECT_EQ(timedOut, kTimeout);
}

TEST_F(Sync, CriticalSectionsAreRecursiveAndShowTheirOwner) {
    CRITICAL_SECTION section;
    ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&section, 0x80000FA0));
    EXPECT_EQ(section.SpinCount, 0xFA0u);  // the high bits are flags, not spins
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    EXPECT_EQ(section.RecursionCount, 3);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(section.OwningThread), GetCurrentThreadId());

    BOOL enteredElsewhere = TRUE;
    {
        TestThread other([&] {
            enteredElsewhere = TryEnterCriticalSection(&section);
            return DWORD{0};
        });
    }
    EXPECT_FALSE(enteredElsewhere);

    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    EXPECT_EQ(section.RecursionCount, 1);
    LeaveCriticalSection(&section);
    EXPECT_EQ(section.OwningThread, nullptr);
    EXPECT_EQ(section.LockCount, -1);
    {
        TestThread other([&] {
            enteredElsewhere = TryEnterCriticalSection(&section);
            if (enteredElsewhere)
                LeaveCriticalSection(&section);
            return DWORD{0};
        });
    }
    EXPECT_TRUE(enteredElsewhere);
    DeleteCriticalSection(&section);
}

TEST_F(Sync, ACriticalSectionExcludesOtherThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    long counter = 0;  // unprotected but for the section
    {
        std::deque<TestThread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < 2000; ++i) {
                    EnterCriticalSection(&section);
                    long seen = counter;
                    if (i % 100 == 0)
                        Sleep(0);
                    counter = seen + 1;
                    LeaveCriticalSection(&section);
                }
                return DWORD{0};
            });
        }
    }
    EXPECT_EQ(counter, 8000);
    DeleteCriticalSection(&section);
}

// A thread blocked on a section is in a platform wait, so virtual time can
// move on while the owner sleeps in it.
TEST_F(Sync, AThreadBlockedOnACriticalSectionDoesNotHoldUpVirtualTime) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    DWORD enteredAt = 0;
    TestThread owner([&] {
        EnterCriticalSection(&section);
        Sleep(300);
        LeaveCriticalSection(&section);
        return DWORD{0};
    });
    Settle();
    TestThread blocked([&] {
        EnterCriticalSection(&section);
        enteredAt = GetTickCount();
        LeaveCriticalSection(&section);
        return DWORD{0};
    });
    platform::host::AdvanceClock(1000);
    EXPECT_EQ(WaitForSingleObject(blocked.handle(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(enteredAt, 300u);
    DeleteCriticalSection(&section);
}
