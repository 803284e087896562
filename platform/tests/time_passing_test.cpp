// Virtual time that passes by itself: when every thread the clock waits for
// is blocked in a platform wait, the earliest deadline comes at once.
#include <windows.h>

#include "platform/clock.h"
#include "test_thread.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const SYSTEMTIME kStart{2026, 12, 6, 5, 9, 0, 0, 0};

// The test's own thread takes part, as the simulator's user-interface thread
// does: time stands still while it runs.
class TimePassing : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::host::UseVirtualClock(kStart, 1000);
        platform::host::AdvanceWaitsForThisThread();
        platform::host::AdvanceWhenAllWait(true);
    }
    void TearDown() override { platform::host::AdvanceWhenAllWait(false); }
};

void RealPause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace

// A quit that waits 10 s for a worker asleep in a 16 s pause gives up at
// exactly 10 s; an explicit advance still moves exactly, and the worker wakes
// at 16 s once the quitting thread waits again.
TEST_F(TimePassing, AShutdownWaitForASleepingWorkerTimesOutAtItsDeadline) {
    std::atomic<DWORD> workerWoke{0};
    TestThread worker([&] {
        Sleep(16000);
        workerWoke = GetTickCount();
        return DWORD{0};
    });
    EXPECT_EQ(WaitForSingleObject(worker.handle(), 10000), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(GetTickCount(), 11000u);
    platform::host::AdvanceClock(2000);
    RealPause();  // this thread runs: nothing moves
    EXPECT_EQ(GetTickCount(), 13000u);
    EXPECT_EQ(workerWoke, 0u);

    EXPECT_EQ(WaitForSingleObject(worker.handle(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(workerWoke, 17000u);
    EXPECT_EQ(GetTickCount(), 17000u);
}

TEST_F(TimePassing, SleepersWakeOneDeadlineAtATimeInDeadlineOrder) {
    const std::vector<DWORD> durations = {500, 100, 300, 200, 400, 100};
    std::mutex lock;
    std::vector<DWORD> wokeAt;
    std::deque<TestThread> sleepers;
    for (DWORD duration : durations) {
        sleepers.emplace_back([&, duration] {
            Sleep(duration);
            // Work after the wake happens before the next deadline comes.
            RealPause();
            std::lock_guard guard(lock);
            wokeAt.push_back(GetTickCount());
            return DWORD{0};
        });
    }
    std::vector<HANDLE> handles;
    for (const auto& sleeper : sleepers)
        handles.push_back(sleeper.handle());
    EXPECT_EQ(
        WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, INFINITE),
        WAIT_OBJECT_0);
    EXPECT_EQ(wokeAt, (std::vector<DWORD>{1100, 1100, 1200, 1300, 1400, 1500}));
    EXPECT_EQ(GetTickCount(), 1500u);
}

// A thread blocked outside the platform (here a pipe read, as a socket read
// would be) is running: the quit's deadline does not come while it reads.
TEST_F(TimePassing, AThreadBlockedOutsideThePlatformHoldsTimeStill) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    std::atomic<DWORD> readAt{0};
    TestThread reader([&] {
        char byte = 0;
        (void)!read(pipeEnds[0], &byte, 1);
        readAt = GetTickCount();
        Sleep(5000);
        return DWORD{0};
    });
    // A host thread that takes no part answers the read in real time.
    std::thread writer([&] {
        RealPause();
        (void)!write(pipeEnds[1], "x", 1);
    });
    EXPECT_EQ(WaitForSingleObject(reader.handle(), 3000), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(readAt, 1000u);
    EXPECT_EQ(GetTickCount(), 4000u);
    writer.join();
    EXPECT_EQ(WaitForSingleObject(reader.handle(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), 6000u);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

// With the mode off a timed wait ends only by an advance; switching it on
// while everything waits moves time at once.
TEST(TimePassingOff, TimedWaitsEndOnlyByAnAdvanceUntilTheModeIsOn) {
    platform::host::UseVirtualClock(kStart, 1000);
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD> result{0}, endedAt{0};
    TestThread waiter([&] {
        for (int i = 0; i < 2; ++i) {
            result = WaitForSingleObject(never, 10000);
            endedAt = GetTickCount();
        }
        return DWORD{0};
    });
    while (platform::host::NextDeadline() != std::optional<ULONGLONG>(10000))
        Sleep(0);
    RealPause();
    EXPECT_EQ(endedAt, 0u);
    EXPECT_EQ(GetTickCount(), 1000u);
    platform::host::AdvanceClock(10000);
    EXPECT_EQ(result, static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(endedAt, 11000u);

    // The second wait is pending; nothing else runs.
    platform::host::AdvanceWhenAllWait(true);
    EXPECT_EQ(WaitForSingleObject(waiter.handle(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(endedAt, 21000u);
    platform::host::AdvanceWhenAllWait(false);
    CloseHandle(never);
}
