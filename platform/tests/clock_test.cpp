#include <windows.h>

#include "platform/clock.h"
#include "test_thread.h"

#include <gtest/gtest.h>

#include <ctime>
#include <deque>
#include <mutex>
#include <vector>

namespace {

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms) {
    SYSTEMTIME time{};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    time.wMilliseconds = ms;
    return time;
}

void ExpectTime(const SYSTEMTIME& actual, const SYSTEMTIME& expected, WORD dayOfWeek) {
    EXPECT_EQ(actual.wYear, expected.wYear);
    EXPECT_EQ(actual.wMonth, expected.wMonth);
    EXPECT_EQ(actual.wDay, expected.wDay);
    EXPECT_EQ(actual.wDayOfWeek, dayOfWeek);
    EXPECT_EQ(actual.wHour, expected.wHour);
    EXPECT_EQ(actual.wMinute, expected.wMinute);
    EXPECT_EQ(actual.wSecond, expected.wSecond);
    EXPECT_EQ(actual.wMilliseconds, expected.wMilliseconds);
}

SYSTEMTIME Now() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return now;
}

class VirtualClock : public ::testing::Test {
  protected:
    void SetUp() override { platform::host::UseVirtualClock(Time(2007, 3, 4, 9, 5, 3, 0), 1000); }
};

}  // namespace

TEST_F(VirtualClock, StandsStillUntilAdvancedThenMovesSystemTimeAndTicksTogether) {
    ExpectTime(Now(), Time(2007, 3, 4, 9, 5, 3, 0), 0);  // a Sunday
    EXPECT_EQ(GetTickCount(), 1000u);
    Sleep(0);  // yields without waiting for virtual time
    ExpectTime(Now(), Time(2007, 3, 4, 9, 5, 3, 0), 0);

    platform::host::AdvanceClock(1234);
    ExpectTime(Now(), Time(2007, 3, 4, 9, 5, 4, 234), 0);
    EXPECT_EQ(GetTickCount(), 2234u);
    ExpectTime(platform::host::CurrentSystemTime(), Time(2007, 3, 4, 9, 5, 4, 234), 0);
}

TEST_F(VirtualClock, CalendarRollsOverYearsAndLeapDays) {
    platform::host::UseVirtualClock(Time(2007, 12, 31, 23, 59, 59, 500));
    platform::host::AdvanceClock(1000);
    ExpectTime(Now(), Time(2008, 1, 1, 0, 0, 0, 500), 2);  // a Tuesday

    platform::host::UseVirtualClock(Time(2008, 2, 28, 12, 0, 0, 0));
    platform::host::AdvanceClock(24 * 3600 * 1000);
    ExpectTime(Now(), Time(2008, 2, 29, 12, 0, 0, 0), 5);  // leap day, a Friday
}

TEST_F(VirtualClock, LocalTimeIsUtcShiftedByTheHostOffset) {
    SYSTEMTIME local;
    GetLocalTime(&local);
    ExpectTime(local, Time(2007, 3, 4, 9, 5, 3, 0), 0);

    platform::host::SetTimeZoneOffset(-10 * 60);  // ten hours west: the day before
    GetLocalTime(&local);
    ExpectTime(local, Time(2007, 3, 3, 23, 5, 3, 0), 6);
    ExpectTime(Now(), Time(2007, 3, 4, 9, 5, 3, 0), 0);
}

TEST_F(VirtualClock, TickCountWrapsAtTwoToThe32) {
    platform::host::UseVirtualClock(Time(2007, 3, 4, 0, 0, 0, 0), 0xFFFFFFFFull - 5);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFFAu);
    platform::host::AdvanceClock(10);
    EXPECT_EQ(GetTickCount(), 4u);
    // Elapsed time across the wrap comes out right in unsigned arithmetic.
    EXPECT_EQ(GetTickCount() - 0xFFFFFFFAu, 10u);
}

// The heart of the virtual clock: one advance past several deadlines wakes the
// sleepers in deadline order, each seeing its own deadline as the time.
TEST_F(VirtualClock, OneAdvanceWakesSleepersInDeadlineOrder) {
    const std::vector<DWORD> durations = {500, 100, 300, 200, 400, 100};
    std::mutex lock;
    std::vector<std::pair<size_t, DWORD>> woke;  // (sleeper, tick at wake)
    std::deque<TestThread> sleepers;
    for (size_t i = 0; i < durations.size(); ++i) {
        sleepers.emplace_back([&, i] {
            Sleep(durations[i]);
            std::lock_guard guard(lock);
            woke.emplace_back(i, GetTickCount());
            return DWORD{0};
        });
    }
    platform::host::AdvanceClock(1000);

    // Equal deadlines wake in the order the sleepers began, which depends on
    // thread start-up; so compare the ticks, and the sleepers by deadline.
    ASSERT_EQ(woke.size(), durations.size());
    for (size_t i = 0; i < woke.size(); ++i) {
        EXPECT_EQ(woke[i].second, 1000 + durations[woke[i].first]) << "wake " << i;
        if (i > 0) {
            EXPECT_LE(woke[i - 1].second, woke[i].second);
        }
    }
    EXPECT_EQ(GetTickCount(), 2000u);
}

TEST_F(VirtualClock, ATimedWaitEndsOnlyWhenTimeReachesItsDeadline) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD result = 0;
    DWORD tickAtReturn = 0;
    TestThread waiter([&] {
        result = WaitForSingleObject(event, 50);
        tickAtReturn = GetTickCount();
        return DWORD{0};
    });
    platform::host::AdvanceClock(49);
    EXPECT_EQ(WaitForSingleObject(waiter.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(platform::host::NextDeadline(), std::optional<ULONGLONG>(1));

    platform::host::AdvanceClock(1);
    EXPECT_EQ(WaitForSingleObject(waiter.handle(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(result, static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(tickAtReturn, 1050u);
    EXPECT_EQ(platform::host::NextDeadline(), std::nullopt);
    CloseHandle(event);
}

TEST_F(VirtualClock, ATimedWaitSignalledBeforeItsDeadlineReturnsWithoutTimePassing) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    DWORD result = 0;
    TestThread waiter([&] {
        result = WaitForSingleObject(event, 10000);
        return DWORD{0};
    });
    platform::host::AdvanceClock(0);  // lets the waiter block
    EXPECT_EQ(platform::host::NextDeadline(), std::optional<ULONGLONG>(10000));

    SetEvent(event);
    EXPECT_EQ(WaitForSingleObject(waiter.handle(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), 1000u);
    EXPECT_EQ(platform::host::NextDeadline(), std::nullopt);  // the deadline went with the wait
    CloseHandle(event);
}

// A shutdown that waits 10 s for a worker in a 16 s pause gives up at 10 s;
// the worker ends at 16 s.
TEST_F(VirtualClock, AWaitForAThreadTimesOutWhileTheThreadSleepsOn) {
    DWORD workerEnd = 0;
    TestThread worker([&] {
        Sleep(16000);
        workerEnd = GetTickCount();
        return DWORD{7};
    });
    DWORD shutdownResult = 0;
    DWORD shutdownEnd = 0;
    TestThread shutdown([&] {
        shutdownResult = WaitForSingleObject(worker.handle(), 10000);
        shutdownEnd = GetTickCount();
        return DWORD{0};
    });
    platform::host::AdvanceClock(20000);
    EXPECT_EQ(shutdownResult, static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(shutdownEnd, 11000u);
    EXPECT_EQ(workerEnd, 17000u);
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeThread(worker.handle(), &exitCode));
    EXPECT_EQ(exitCode, 7u);
}

TEST_F(VirtualClock, AHostThreadWaitingOnTimeIsWokenByAnotherThreadsAdvance) {
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    TestThread advancer([] {
        platform::host::AdvanceClock(0);
        while (!platform::host::NextDeadline())
            Sleep(0);
        platform::host::AdvanceClock(5000);
        return DWORD{0};
    });
    EXPECT_EQ(WaitForSingleObject(never, 3000), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(GetTickCount(), 4000u);
    CloseHandle(never);
}

TEST_F(VirtualClock, APollDoesNotWaitForTime) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(platform::host::NextDeadline(), std::nullopt);
    EXPECT_EQ(GetTickCount(), 1000u);
    CloseHandle(event);
}

TEST(RealClock, IsTheDefaultAndFollowsTheHostsClocks) {
    EXPECT_FALSE(platform::host::IsVirtualClock());
    SYSTEMTIME now = Now();
    time_t hostSeconds = time(nullptr);
    tm host{};
    gmtime_r(&hostSeconds, &host);
    // The two readings were taken moments apart: the same hour, almost always.
    EXPECT_EQ(now.wYear, host.tm_year + 1900);
    EXPECT_EQ(now.wMonth, host.tm_mon + 1);
    EXPECT_EQ(now.wDay, host.tm_mday);
    EXPECT_EQ(now.wDayOfWeek, host.tm_wday);
    EXPECT_EQ(now.wHour, host.tm_hour);

    DWORD before = GetTickCount();
    Sleep(20);
    EXPECT_GE(GetTickCount() - before, 20u);
}

TEST(RealClock, TimedWaitsEndOnTheRealClock) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD before = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(event, 30), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(GetTickCount() - before, 30u);
    CloseHandle(event);
}

TEST(SystemInfo, DescribesA32BitMachineWithTheHostsOrTheGivenProcessorCount) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
    EXPECT_EQ(info.dwPageSize, 4096u);
    EXPECT_EQ(info.dwAllocationGranularity, 65536u);
    EXPECT_GE(info.dwNumberOfProcessors, 1u);

    platform::host::SetProcessorCount(2);
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwNumberOfProcessors, 2u);
    EXPECT_EQ(info.dwActiveProcessorMask, 3u);
}
