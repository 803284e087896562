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
void Settle() {
    platform::host::AdvanceClock(0);
}

class Sync : public ::testing::Test {
  protected:
    void SetUp() override { platform::host::UseVirtualClock({2007, 3, 0, 4, 0, 0, 0, 0}); }
};

// Threads that each wait once on `event` and count their release.
struct Waiters {
    Waiters(HANDLE event, int count) {
        for (int i = 0; i < count; ++i) {
            threads.emplace_back([this, event] {
                if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0)
                    ++released;
                return DWORD{0};
            });
        }
        Settle();
    }
    std::atomic<int> released{0};
    std::deque<TestThread> threads;
};

DWORD ErrorOfFailedWait(DWORD result) {
    EXPECT_EQ(result, WAIT_FAILED);
    return GetLastError();
}

}  // namespace

TEST_F(Sync, ManualResetReleasesEveryWaiterAutoResetExactlyOnePerSignal) {
    HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    Waiters onManual(manual, 3), onAutomatic(automatic, 3);
    SetEvent(manual);
    for (int expected = 1; expected <= 3; ++expected) {
        SetEvent(automatic);
        Settle();
        EXPECT_EQ(onAutomatic.released, expected);
        EXPECT_EQ(WaitForSingleObject(automatic, 0), kTimeout);  // the waiter consumed it
    }
    EXPECT_EQ(onManual.released, 3);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);  // and stays signalled
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), kTimeout);

    // With no waiter an auto-reset signal is kept for the next wait, once.
    SetEvent(automatic);
    SetEvent(automatic);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), kTimeout);
    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST_F(Sync, PulseReleasesOnlyTheCurrentWaitersAndLeavesTheEventReset) {
    HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_TRUE(PulseEvent(manual));  // nobody waits: nothing is kept
    EXPECT_EQ(WaitForSingleObject(manual, 0), kTimeout);
    Waiters onManual(manual, 3), onAutomatic(automatic, 3);
    EXPECT_TRUE(PulseEvent(manual));
    EXPECT_TRUE(PulseEvent(automatic));
    Settle();
    EXPECT_EQ(onManual.released, 3);
    EXPECT_EQ(onAutomatic.released, 1);
    EXPECT_EQ(WaitForSingleObject(manual, 0), kTimeout);
    SetEvent(automatic);
    SetEvent(automatic);  // lets the other two waiters go
    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST_F(Sync, NamedEventsShareOneObjectAndKeepTheFirstCreatorsSettings) {
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, L"BV-test");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEventW(nullptr, FALSE, TRUE, L"BV-test");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(WaitForSingleObject(second, 0), kTimeout);  // not made signalled

    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);  // still manual-reset
    HANDLE opened = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"BV-test");
    ResetEvent(opened);
    EXPECT_EQ(WaitForSingleObject(first, 0), kTimeout);

    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"bv-test"), nullptr);  // case-sensitive
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    for (HANDLE handle : {first, second, opened})
        CloseHandle(handle);
    // The name went with the last handle.
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"BV-test"), nullptr);
    CloseHandle(CreateEventW(nullptr, FALSE, FALSE, L"BV-test"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST_F(Sync, WaitForMultipleReportsTheLowestSignalledIndexAndChecksItsArguments) {
    std::vector<HANDLE> events(65);
    for (auto& event : events)
        event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetEvent(events[63]);
    SetEvent(events[40]);
    EXPECT_EQ(WaitForMultipleObjects(64, events.data(), FALSE, 0), WAIT_OBJECT_0 + 40);
    const DWORD invalidParameter = ERROR_INVALID_PARAMETER, invalidHandle = ERROR_INVALID_HANDLE;
    EXPECT_EQ(ErrorOfFailedWait(WaitForMultipleObjects(65, events.data(), FALSE, 0)),
              invalidParameter);
    EXPECT_EQ(ErrorOfFailedWait(WaitForMultipleObjects(0, events.data(), FALSE, 0)),
              invalidParameter);

    HANDLE closed = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    CloseHandle(closed);
    HANDLE withClosed[] = {events[40], closed};
    EXPECT_EQ(ErrorOfFailedWait(WaitForMultipleObjects(2, withClosed, FALSE, 0)), invalidHandle);

    // One object twice: fine for wait-any, invalid for wait-all, even through
    // two handles of one named event.
    HANDLE twice[] = {events[1], events[40], events[1]};
    EXPECT_EQ(WaitForMultipleObjects(3, twice, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(ErrorOfFailedWait(WaitForMultipleObjects(3, twice, TRUE, 0)), invalidParameter);
    HANDLE named[] = {CreateEventW(nullptr, TRUE, TRUE, L"BV-twice"),
                      CreateEventW(nullptr, TRUE, TRUE, L"BV-twice")};
    EXPECT_EQ(ErrorOfFailedWait(WaitForMultipleObjects(2, named, TRUE, 0)), invalidParameter);
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
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);  // the failed poll took nothing

    DWORD allResult = 0;
    TestThread waitsForAll(
        [&] { return allResult = WaitForMultipleObjects(2, both, TRUE, INFINITE); });
    Waiters waitsForFirst(first, 1);
    SetEvent(first);  // the wait-all cannot use it yet: it goes to the other waiter
    Settle();
    EXPECT_EQ(waitsForFirst.released, 1);
    SetEvent(second);
    Settle();
    EXPECT_EQ(WaitForSingleObject(waitsForAll.handle(), 0), kTimeout);
    SetEvent(first);
    Settle();
    EXPECT_EQ(allResult, WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), kTimeout);  // both consumed
    CloseHandle(first);
    CloseHandle(second);
}

TEST_F(Sync, AThreadHandleIsSignalledAtTheThreadsEndWithItsExitCode) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD idInside = 0;
    TestThread thread([&] {
        idInside = GetCurrentThreadId();
        WaitForSingleObject(go, INFINITE);
        return DWORD{42};
    });
    Settle();
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread.handle(), &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(thread.handle(), 0), kTimeout);
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(thread.handle(), INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread.handle(), &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(idInside, thread.id());
    EXPECT_NE(idInside, GetCurrentThreadId());
    EXPECT_FALSE(SetEvent(thread.handle()));  // not an event
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(go);
}

TEST_F(Sync, ASuspendedThreadRunsOnceResumedAndOutlivesItsClosedHandle) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID done) -> DWORD { return SetEvent(static_cast<HANDLE>(done)); }, done,
        CREATE_SUSPENDED, nullptr);
    Settle();
    EXPECT_EQ(WaitForSingleObject(done, 0), kTimeout);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ResumeThread(thread), static_cast<DWORD>(-1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(done);
}

TEST_F(Sync, WaitsOnTheCurrentThreadOrProcessTimeOut) {
    EXPECT_EQ(WaitForSingleObject(GetCurrentProcess(), 0), kTimeout);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(GetCurrentThread(), &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    DWORD result = 0;
    TestThread thread([&] { return result = WaitForSingleObject(GetCurrentThread(), 500); });
    platform::host::AdvanceClock(500);
    EXPECT_EQ(result, kTimeout);
}

TEST_F(Sync, CriticalSectionsAreRecursiveAndShowTheirOwner) {
    CRITICAL_SECTION section;
    InitializeCriticalSectionAndSpinCount(&section, 0x80000FA0);
    EXPECT_EQ(section.SpinCount, 0xFA0u);  // the high bits are flags
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    EXPECT_EQ(section.RecursionCount, 3);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(section.OwningThread), GetCurrentThreadId());

    auto tryElsewhere = [&] {
        BOOL entered = FALSE;
        TestThread other([&] {
            if ((entered = TryEnterCriticalSection(&section)))
                LeaveCriticalSection(&section);
            return DWORD{0};
        });
        WaitForSingleObject(other.handle(), INFINITE);
        return entered;
    };
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    EXPECT_EQ(section.RecursionCount, 1);
    EXPECT_FALSE(tryElsewhere());
    LeaveCriticalSection(&section);
    EXPECT_EQ(section.OwningThread, nullptr);
    EXPECT_EQ(section.LockCount, -1);
    EXPECT_TRUE(tryElsewhere());
    DeleteCriticalSection(&section);
}

TEST_F(Sync, ACriticalSectionExcludesOtherThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    long counter = 0;  // guarded by the section alone
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
    auto holdFor = [&](DWORD ms) {
        EnterCriticalSection(&section);
        enteredAt = GetTickCount();
        Sleep(ms);
        LeaveCriticalSection(&section);
        return DWORD{0};
    };
    TestThread owner([&] { return holdFor(300); });
    Settle();
    TestThread blocked([&] { return holdFor(1); });
    platform::host::AdvanceClock(1000);
    EXPECT_EQ(WaitForSingleObject(blocked.handle(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(enteredAt, 300u);
    DeleteCriticalSection(&section);
}
