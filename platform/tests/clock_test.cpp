#include <windows.h>

#include "platform/clock.h"
#include "test_thread.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// "2007-03-04 09:05:03.000 day 0" (day of the week: 0 is Sunday).
std::string Show(const SYSTEMTIME& t) {
    char text[64];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u day %u", t.wYear, t.wMonth,
             t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek);
    return text;
}

std::string Now(void(WINAPI* get)(LPSYSTEMTIME) = GetSystemTime) {
    SYSTEMTIME now;
    get(&now);
    return Show(now);
}

// Fields in SYSTEMTIME order: year, month, day of week, day, hour, minute, second, ms.
const SYSTEMTIME kStart{2007, 3, 0, 4, 9, 5, 3, 0};

class VirtualClock : public ::testing::Test {
  protected:
    void SetUp() override { platform::host::UseVirtualClock(kStart, 1000); }
};

}  // namespace

TEST_F(VirtualClock, StandsStillUntilAdvancedAndMovesCalendarLocalTimeAndTicksTogether) {
    EXPECT_EQ(Now(), "2007-03-04 09:05:03.000 day 0");
    EXPECT_EQ(Now(GetLocalTime), Now());
    platform::host::SetTimeZoneOffset(-10 * 60);  // local time: the day before
    EXPECT_EQ(Now(GetLocalTime), "2007-03-03 23:05:03.000 day 6");
    Sleep(0);  // yields without waiting for virtual time
    EXPECT_EQ(WaitForSingleObject(GetCurrentProcess(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(GetTickCount(), 1000u);

    platform::host::AdvanceClock(1234);
    EXPECT_EQ(Now(), "2007-03-04 09:05:04.234 day 0");
    EXPECT_EQ(Show(platform::host::CurrentSystemTime()), Now());
    EXPECT_EQ(GetTickCount(), 2234u);

    platform::host::UseVirtualClock({2007, 12, 1, 31, 23, 59, 59, 500});
    platform::host::AdvanceClock(1000);
    EXPECT_EQ(Now(), "2008-01-01 00:00:00.500 day 2");
    platform::host::AdvanceClock(59ull * 24 * 3600 * 1000);
    EXPECT_EQ(Now(), "2008-02-29 00:00:00.500 day 5");
}

TEST_F(VirtualClock, TickCountWrapsAtTwoToThe32) {
    platform::host::UseVirtualClock(kStart, 0xFFFFFFFFull - 5);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFFAu);
    platform::host::AdvanceClock(10);
    EXPECT_EQ(GetTickCount(), 4u);
    EXPECT_EQ(GetTickCount() - 0xFFFFFFFAu, 10u);  // elapsed time survives the wrap
}

// One advance past several deadlines wakes the sleepers in deadline order,
// each seeing its own deadline as the time.
TEST_F(VirtualClock, OneAdvanceWakesSleepersInDeadlineOrder) {
    const std::vector<DWORD> durations = {500, 100, 300, 200, 400, 100};
    std::mutex lock;
    std::vector<DWORD> wokeAt;
    std::deque<TestThread> sleepers;
    for (DWORD duration : durations) {
        sleepers.emplace_back([&, duration] {
            Sleep(duration);
            std::lock_guard guard(lock);
            wokeAt.push_back(GetTickCount());
            return DWORD{0};
        });
    }
    platform::host::AdvanceClock(1000);
    EXPECT_EQ(wokeAt, (std::vector<DWORD>{1100, 1100, 1200, 1300, 1400, 1500}));
    EXPECT_EQ(GetTickCount(), 2000u);
}

TEST_F(VirtualClock, ATimedWaitEndsExactlyAtItsDeadlineOrEarlierWhenSignalled) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::vector<std::pair<DWORD, DWORD>> results;  // (result, tick), one per wait
    TestThread waiter([&] {
        for (int i = 0; i < 2; ++i) {
            DWORD result = WaitForSingleObject(event, 50);
            results.emplace_back(result, GetTickCount());
        }
        return DWORD{0};
    });
    platform::host::AdvanceClock(49);
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(platform::host::NextDeadline(), std::optional<ULONGLONG>(1));
    platform::host::AdvanceClock(1);
    EXPECT_EQ(platform::host::NextDeadline(), std::optional<ULONGLONG>(50));  // the second wait

    SetEvent(event);
    EXPECT_EQ(WaitForSingleObject(waiter.handle(), INFINITE), WAIT_OBJECT_0);
    using Result = std::pair<DWORD, DWORD>;
    EXPECT_EQ(results, (std::vector<Result>{{WAIT_TIMEOUT, 1050}, {WAIT_OBJECT_0, 1050}}));
    EXPECT_EQ(platform::host::NextDeadline(), std::nullopt);  // the deadline went with the wait
    CloseHandle(event);
}

// A shutdown that waits 10 s for a worker in a 16 s pause gives up at 10 s;
// the worker ends at 16 s.
TEST_F(VirtualClock, AWaitForAThreadTimesOutWhileTheThreadSleepsOn) {
    DWORD workerEnd = 0, shutdownResult = 0, shutdownEnd = 0;
    TestThread worker([&] {
        Sleep(16000);
        workerEnd = GetTickCount();
        return DWORD{0};
    });
    TestThread shutdown([&] {
        shutdownResult = WaitForSingleObject(worker.handle(), 10000);
        shutdownEnd = GetTickCount();
        return DWORD{0};
    });
    platform::host::AdvanceClock(20000);
    EXPECT_EQ(shutdownResult, static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(shutdownEnd, 11000u);
    EXPECT_EQ(workerEnd, 17000u);
}

// A host thread that asks for it is waited for like a CreateThread thread: it
// finishes what it does after waking before time moves on.
TEST_F(VirtualClock, AHostThreadCanAskTheAdvanceToWaitForIt) {
    TestThread later([] {
        Sleep(200);
        return DWORD{0};
    });
    DWORD tickAfterWork = 0;
    std::thread host([&] {
        platform::host::AdvanceWaitsForThisThread();
        Sleep(100);
        std::this_thread::yield();
        tickAfterWork = GetTickCount();
    });
    while (platform::host::NextDeadline() != std::optional<ULONGLONG>(100))
        Sleep(0);
    platform::host::AdvanceClock(1000);
    host.join();
    EXPECT_EQ(tickAfterWork, 1100u);
}

TEST(RealClock, IsTheDefaultAndFollowsTheHostsClocks) {
    EXPECT_FALSE(platform::host::IsVirtualClock());
    std::string now = Now();
    time_t hostSeconds = time(nullptr);
    char host[32];
    strftime(host, sizeof host, "%Y-%m-%d %H", gmtime(&hostSeconds));
    EXPECT_EQ(now.substr(0, 13), host);  // taken moments apart: the same hour, nearly always

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD before = GetTickCount();
    Sleep(20);
    EXPECT_EQ(WaitForSingleObject(event, 30), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(GetTickCount() - before, 50u);
    CloseHandle(event);
}

TEST(SystemInfo, DescribesA32BitMachineWithTheHostsOrTheGivenProcessorCount) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
    EXPECT_EQ(info.dwPageSize, 4096u);
    EXPECT_EQ(info.dwAllocationGranularity, 65536u);
    EXPECT_EQ(info.dwNumberOfProcessors, std::thread::hardware_concurrency());
    platform::host::SetProcessorCount(2);
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwNumberOfProcessors, 2u);
    EXPECT_EQ(info.dwActiveProcessorMask, 3u);
}

namespace {

TEST(CrtTime, CountsSecondsSince1970OnThePlatformClock) {
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 12, 0, 0, 999});
    __time32_t stored = 0;
    EXPECT_EQ(_time32(&stored), 1796472000);
    EXPECT_EQ(stored, 1796472000);
    platform::host::AdvanceClock(1001);
    EXPECT_EQ(_time64(nullptr), 1796472002LL);
}

}  // namespace
