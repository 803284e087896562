// The worker model: a worker woken through its manual-reset event on its own
// thread, the fields of the worker base, and the stopwatch.
#include <atlutil.h>
#include <gtest/gtest.h>
#include <platform/clock.h>

#include <atomic>

#include "addin/workers/bv_worker.h"
#include "addin/workers/generic_timer.h"
#include "addin/workers/worker_entry.h"
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
    for (const char* name : {"WindowHandle", "IsAction", "Set", "SetIsAction", "WindowHandle",
                             "IsAction"}) {
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
