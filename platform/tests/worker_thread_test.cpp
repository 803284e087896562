// CWorkerThread as a worker's owner uses it: handles waited on, clients run
// on the worker thread, the 64-handle limit, and shutdown with and without a
// thread that ends in time.
#include <atlutil.h>
#include <gtest/gtest.h>
#include <platform/clock.h>

#include <atomic>
#include <vector>

#include "test_thread.h"

namespace {

class RecordingClient : public IWorkerThreadClient {
  public:
    HRESULT Execute(DWORD_PTR dwParam, HANDLE hObject) override {
        ResetEvent(hObject);
        runs.push_back({dwParam, hObject, GetCurrentThreadId()});
        SetEvent(ran);
        return S_OK;
    }
    HRESULT CloseHandle(HANDLE hHandle) override {
        closed.push_back(hHandle);
        return ::CloseHandle(hHandle) ? S_OK : E_FAIL;
    }

    struct Run {
        DWORD_PTR parameter;
        HANDLE handle;
        DWORD thread;
    };
    std::vector<Run> runs;
    std::vector<HANDLE> closed;
    HANDLE ran = CreateEventW(nullptr, FALSE, FALSE, nullptr);
};

HANDLE NewManualEvent() {
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

TEST(WorkerThread, RunsTheClientOfTheSignalledHandleOnItsOwnThread) {
    CWorkerThread<> worker;
    ASSERT_EQ(worker.Initialize(), S_OK);
    EXPECT_EQ(worker.Initialize(), E_UNEXPECTED);
    EXPECT_NE(worker.GetThreadHandle(), nullptr);

    RecordingClient client;
    HANDLE first = NewManualEvent();
    HANDLE second = NewManualEvent();
    ASSERT_EQ(worker.AddHandle(first, &client, 7), S_OK);
    ASSERT_EQ(worker.AddHandle(second, &client, 9), S_OK);

    // AddHandle returns once the thread waits on the new list, so a signal
    // given right after it is never missed.
    SetEvent(second);
    ASSERT_EQ(WaitForSingleObject(client.ran, 5000), WAIT_OBJECT_0);
    SetEvent(first);
    ASSERT_EQ(WaitForSingleObject(client.ran, 5000), WAIT_OBJECT_0);

    EXPECT_EQ(worker.Shutdown(), S_OK);
    ASSERT_EQ(client.runs.size(), 2u);
    EXPECT_EQ(client.runs[0].parameter, 9u);
    EXPECT_EQ(client.runs[0].handle, second);
    EXPECT_EQ(client.runs[1].parameter, 7u);
    EXPECT_NE(client.runs[0].thread, GetCurrentThreadId());
    EXPECT_EQ(client.runs[0].thread, client.runs[1].thread);
    // Every client handle is handed back to be closed, in list order.
    EXPECT_EQ(client.closed, (std::vector<HANDLE>{first, second}));
    EXPECT_EQ(worker.GetThreadHandle(), nullptr);
    EXPECT_EQ(worker.Shutdown(), S_OK);
}

TEST(WorkerThread, WaitsOnAtMostSixtyFourHandlesOfWhichTwoAreItsOwn) {
    CWorkerThread<> worker;
    EXPECT_EQ(worker.AddHandle(NewManualEvent(), nullptr, 0), E_UNEXPECTED);
    ASSERT_EQ(worker.Initialize(), S_OK);
    RecordingClient client;
    for (int i = 0; i < MAXIMUM_WAIT_OBJECTS - 2; ++i)
        ASSERT_EQ(worker.AddHandle(NewManualEvent(), &client, i), S_OK) << i;
    HANDLE oneTooMany = NewManualEvent();
    EXPECT_EQ(worker.AddHandle(oneTooMany, &client, 0),
              HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));

    // The last handle of a full list is waited on like the first.
    worker.Shutdown();
    ASSERT_EQ(client.closed.size(), size_t{MAXIMUM_WAIT_OBJECTS - 2});
    CloseHandle(oneTooMany);
}

TEST(WorkerThread, TheLastOfSixtyTwoClientHandlesRuns) {
    CWorkerThread<> worker;
    ASSERT_EQ(worker.Initialize(), S_OK);
    RecordingClient client;
    HANDLE last = nullptr;
    for (int i = 0; i < MAXIMUM_WAIT_OBJECTS - 2; ++i) {
        last = NewManualEvent();
        ASSERT_EQ(worker.AddHandle(last, &client, i), S_OK);
    }
    SetEvent(last);
    ASSERT_EQ(WaitForSingleObject(client.ran, 5000), WAIT_OBJECT_0);
    worker.Shutdown();
    ASSERT_EQ(client.runs.size(), 1u);
    EXPECT_EQ(client.runs[0].parameter, DWORD_PTR{MAXIMUM_WAIT_OBJECTS - 3});
}

// A client that stays busy until released.
class BusyClient : public IWorkerThreadClient {
  public:
    HRESULT Execute(DWORD_PTR, HANDLE hObject) override {
        ResetEvent(hObject);
        SetEvent(started);
        WaitForSingleObject(release, INFINITE);
        finished = true;
        return S_OK;
    }
    HRESULT CloseHandle(HANDLE hHandle) override {
        closedWhileBusy = !finished;
        return ::CloseHandle(hHandle) ? S_OK : E_FAIL;
    }

    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> finished{false};
    bool closedWhileBusy = false;
};

TEST(WorkerThread, ShutdownGivesUpOnABusyThreadAfterItsWaitOnVirtualTime) {
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 12, 0, 0, 0});
    CWorkerThread<> worker;
    ASSERT_EQ(worker.Initialize(), S_OK);
    BusyClient client;
    HANDLE wake = NewManualEvent();
    ASSERT_EQ(worker.AddHandle(wake, &client, 0), S_OK);
    SetEvent(wake);
    ASSERT_EQ(WaitForSingleObject(client.started, INFINITE), WAIT_OBJECT_0);

    std::atomic<HRESULT> result{S_FALSE};
    std::atomic<bool> returned{false};
    {
        TestThread stopper([&] {
            result = worker.Shutdown(10000);
            returned = true;
            return DWORD{0};
        });
        platform::host::AdvanceClock(9999);
        EXPECT_FALSE(returned);
        platform::host::AdvanceClock(1);
    }
    EXPECT_TRUE(returned);
    EXPECT_EQ(result, HRESULT_FROM_WIN32(WAIT_TIMEOUT));
    EXPECT_TRUE(client.closedWhileBusy);
    EXPECT_FALSE(client.finished);

    // The thread left behind finishes its run and ends without touching the
    // worker object again.
    SetEvent(client.release);
    platform::host::AdvanceClock(0);
    EXPECT_TRUE(client.finished);
}

}  // namespace
