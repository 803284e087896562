// The worker model: a worker woken through its manual-reset event on its own
// thread, the fields of the worker base, and the stopwatch.
#include <atlutil.h>
#include <gtest/gtest.h>
#include <platform/clock.h>

#include <atomic>

#include "addin/workers/bv_worker.h"
#include "addin/workers/generic_timer.h"
#include "addin/workers/worker_entry.h"
#include "addin/workers/worker_slot.h"
#include "support/log_files.h"
#include "temp_root.h"

namespace {

// A worker in the shape of the add-in's: each run first resets the event that
// woke it, then works until the test lets it finish.
class SteppedWorker : public CBVWorker {
  public:
    HRESULT Execute(DWORD_PTR dwParam, HANDLE hObject) override {
        return GuardedEntry([&] { return ExecuteImpl(dwParam, hObject); });
    }
    HRESULT CloseHandle(HANDLE hHandle) override {
        return GuardedEntry([&] { return CloseWorkerHandle(hHandle); });
    }

    HRESULT ExecuteImpl(DWORD_PTR, HANDLE hObject) {
        ResetEvent(hObject);
        ++runs;
        SetEvent(running);
        WaitForSingleObject(proceed, INFINITE);
        return S_OK;
    }

    std::atomic<int> runs{0};
    HANDLE running = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE proceed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
};

TEST(Workers, SignallingTwiceWhileBusyGivesExactlyOneMoreRun) {
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 12, 0, 0, 0});
    SteppedWorker worker;
    CWorkerThread<> thread;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"BV-block-thread");
    ASSERT_EQ(thread.Initialize(), S_OK);
    ASSERT_EQ(thread.AddHandle(event, &worker, 0), S_OK);

    SetEvent(event);
    ASSERT_EQ(WaitForSingleObject(worker.running, INFINITE), WAIT_OBJECT_0);
    SetEvent(event);
    SetEvent(event);
    SetEvent(worker.proceed);
    ASSERT_EQ(WaitForSingleObject(worker.running, INFINITE), WAIT_OBJECT_0);
    SetEvent(worker.proceed);

    // Let the worker thread settle: it waits on its event again, or would run.
    platform::host::AdvanceClock(0);
    EXPECT_EQ(worker.runs, 2);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(thread.Shutdown(ATL_WORKER_THREAD_WAIT), S_OK);
    EXPECT_EQ(worker.runs, 2);
}

TEST(Workers, TheCommonCloseHandleClosesOrReportsTheSystemError) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(CloseWorkerHandle(event), S_OK);
    EXPECT_EQ(CloseWorkerHandle(event), HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE));
}

TEST(Workers, TheWorkerBaseKeepsItsTargetWindowAndActingFlagAndTracesEachCall) {
    TempRoot root;
    MakeLogsFolder();
    SteppedWorker stepped;
    CBVWorker* worker = &stepped;
    EXPECT_EQ(worker->WindowHandle(), nullptr);
    EXPECT_EQ(worker->IsAction(), 0u);
    worker->Set(reinterpret_cast<HWND>(0x1234));
    worker->SetIsAction(1);
    EXPECT_EQ(worker->WindowHandle(), reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(worker->IsAction(), 1u);

    std::vector<std::string> expected;
    for (const char* name :
         {"WindowHandle", "IsAction", "Set", "SetIsAction", "WindowHandle", "IsAction"}) {
        expected.push_back(std::string("----> CBVWorker::") + name + " - Enter");
        expected.push_back(std::string("<---- CBVWorker::") + name + " - Exit");
    }
    EXPECT_EQ(LogLines(), expected);
}

TEST(GenericTimer, EachLapAddsTheTimeSinceTheStartToTheTotal) {
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 10, 0, 0, 0});
    CGenericTimer timer;
    EXPECT_EQ(timer.Total(), 0u);
    EXPECT_EQ(timer.Start(), 0u);
    platform::host::AdvanceClock(1500);
    EXPECT_EQ(timer.Lap(), 1500u);
    platform::host::AdvanceClock(500);
    // The second lap still counts from the start.
    EXPECT_EQ(timer.Lap(), 3500u);
    EXPECT_EQ(timer.Start(), 3500u);
    platform::host::AdvanceClock(250);
    EXPECT_EQ(timer.Lap(), 3750u);
    EXPECT_EQ(timer.Total(), 3750u);
}

TEST(GenericTimer, ALapAcrossMidnightWrapsInsteadOfCountingOneSecond) {
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 23, 59, 59, 500});
    platform::host::SetTimeZoneOffset(0);
    CGenericTimer timer;
    timer.Start();
    platform::host::AdvanceClock(1000);
    EXPECT_EQ(timer.Lap(), DWORD(500u - 86399500u));
    EXPECT_NE(timer.Total(), 1000u);
}

}  // namespace

namespace {

// A worker thread that the system refuses to start.
struct RefusedThreads {
    static HANDLE CreateThread(LPSECURITY_ATTRIBUTES, DWORD, LPTHREAD_START_ROUTINE, void*, DWORD,
                               DWORD*) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
};

struct CountingWorker : IWorkerThreadClient {
    HRESULT Execute(DWORD_PTR, HANDLE event) override {
        ResetEvent(event);
        ++runs;
        return S_OK;
    }
    HRESULT CloseHandle(HANDLE handle) override { return CloseWorkerHandle(handle); }
    std::atomic<int> runs{0};
};

}  // namespace

// A worker whose thread cannot start keeps its named event, with nothing
// running on it, and the event is still closed when the worker goes.
TEST(WorkerSlot, AThreadThatCannotStartLeavesTheEventInPlaceWithNothingRunning) {
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 12, 0, 0, 0});
    {
        CWorkerSlot<CountingWorker, CWorkerThread<RefusedThreads>> slot;
        EXPECT_FALSE(slot.Start(L"BV-block-thread"));
        ASSERT_TRUE(slot.HasEvent());
        ASSERT_NE(slot.get(), nullptr);
        HANDLE named = OpenEventW(EVENT_ALL_ACCESS, FALSE, L"BV-block-thread");
        ASSERT_NE(named, nullptr);
        CloseHandle(named);
        SetEvent(slot.Event());
        platform::host::AdvanceClock(0);
        EXPECT_EQ(slot->runs, 0);
        EXPECT_TRUE(slot.Stop(ATL_WORKER_THREAD_WAIT));
    }
    // The slot closed its event: the name is free again.
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"BV-block-thread"), nullptr);
}

TEST(WorkerSlot, AStartedWorkerRunsOnItsEventAndStopsInTime) {
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 12, 0, 0, 0});
    CWorkerSlot<CountingWorker> slot;
    ASSERT_TRUE(slot.Start(L"BV-unblock-thread"));
    SetEvent(slot.Event());
    platform::host::AdvanceClock(0);
    EXPECT_EQ(slot->runs, 1);
    EXPECT_TRUE(slot.Stop(ATL_WORKER_THREAD_WAIT));
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"BV-unblock-thread"), nullptr);
}
