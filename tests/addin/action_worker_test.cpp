// The action workers' stop windows: made from the module's dialog 206 on the
// user-interface thread, they clear the worker's run flag when a stop
// request reaches them, and the worker sees it between two items.
#include <atlutil.h>
#include <gtest/gtest.h>
#include <platform/clock.h>
#include <platform/filesystem.h>

#include <atomic>
#include <filesystem>

#include "addin/workers/action_worker.h"
#include "addin/workers/stop_request.h"
#include "temp_root.h"

namespace {

// Walks items until its run flag is found clear; each item waits for the
// test to let it go.
class CWalkingWorker : public CActionWorker<CWalkingWorker> {
  public:
    HRESULT ExecuteImpl(DWORD_PTR, HANDLE hObject) {
        ResetEvent(hObject);
        while (IsRun()) {
            WaitForSingleObject(nextItem, INFINITE);
            ++items;
        }
        SetEvent(ended);
        return S_OK;
    }

    HANDLE nextItem = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> items{0};
};

class ActionWorkerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto folder = platform::host::HostPathFromWindows(L"C:\\Program Files\\Brevint");
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(BV_ADDIN_MODULE_FILE, folder / "BVOL0000.dll");
        m_module = LoadLibraryW(L"C:\\Program Files\\Brevint\\BVOL0000.dll");
        ASSERT_NE(m_module, nullptr);
        // The dialogs of this test come from the add-in module's resources.
        _AtlBaseModule.SetResourceInstance(m_module);
    }
    void TearDown() override { FreeLibrary(m_module); }

    static void DispatchWaitingMessages() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }

    TempRoot m_root;
    HMODULE m_module = nullptr;
};

TEST_F(ActionWorkerTest, TheStopWindowIsAHiddenDialogWithoutOwner) {
    CWalkingWorker worker;
    HWND window = worker.CreateStopWindow();
    ASSERT_NE(window, nullptr);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    EXPECT_STREQ(className, L"#32770");
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    wchar_t caption[32] = {};
    GetWindowTextW(window, caption, 32);
    EXPECT_STREQ(caption, L"Dialog");
    EXPECT_TRUE(worker.DestroyWindow());
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ActionWorkerTest, AStopRequestEndsARunningActionAtItsNextItem) {
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 12, 0, 0, 0});
    CWalkingWorker worker;
    HWND window = worker.CreateStopWindow();
    ASSERT_NE(window, nullptr);
    CWorkerThread<> thread;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(thread.Initialize(), S_OK);
    ASSERT_EQ(thread.AddHandle(event, &worker, 0), S_OK);

    worker.SetRun(1);
    SetEvent(event);
    for (int item = 1; item <= 2; ++item) {
        SetEvent(worker.nextItem);
        platform::host::AdvanceClock(0);  // the worker is at its next item
        EXPECT_EQ(worker.items, item);
    }

    // The request is posted; the flag clears only when the window's thread
    // dispatches it.
    ASSERT_TRUE(PostMessageW(window, WM_BV_STOP_ACTION, 0, 0));
    EXPECT_EQ(worker.IsRun(), 1u);
    DispatchWaitingMessages();
    EXPECT_EQ(worker.IsRun(), 0u);

    SetEvent(worker.nextItem);  // the item under way ends; no further one starts
    EXPECT_EQ(WaitForSingleObject(worker.ended, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(worker.items, 3);
    EXPECT_EQ(thread.Shutdown(ATL_WORKER_THREAD_WAIT), S_OK);
    worker.DestroyWindow();
}

TEST_F(ActionWorkerTest, AStopRequestGoesToTheWorkerOfItsActionTypeOnly) {
    CWalkingWorker block, unblock, cleanFolder;
    ActionStopWindows windows{block.CreateStopWindow(), unblock.CreateStopWindow(),
                              cleanFolder.CreateStopWindow()};
    auto stopAndCount = [&](WPARAM type) {
        for (CWalkingWorker* worker : {&block, &unblock, &cleanFolder})
            worker->SetRun(1);
        bool posted = PostStopRequest(type, windows);
        DispatchWaitingMessages();
        int stopped = 0;
        for (CWalkingWorker* worker : {&block, &unblock, &cleanFolder})
            stopped += worker->IsRun() == 0;
        return std::pair{posted, stopped};
    };

    EXPECT_EQ(stopAndCount(0), std::pair(false, 0));
    EXPECT_EQ(stopAndCount(5), std::pair(false, 0));
    EXPECT_EQ(stopAndCount(BV_ACTION_BLOCK), std::pair(true, 1));
    EXPECT_EQ(block.IsRun(), 0u);
    EXPECT_EQ(stopAndCount(BV_ACTION_UNBLOCK), std::pair(true, 1));
    EXPECT_EQ(unblock.IsRun(), 0u);
    EXPECT_EQ(stopAndCount(BV_ACTION_CLEAN), std::pair(true, 1));
    EXPECT_EQ(cleanFolder.IsRun(), 0u);
    EXPECT_EQ(stopAndCount(BV_ACTION_RECHECK), std::pair(true, 1));
    EXPECT_EQ(cleanFolder.IsRun(), 0u);

    // A worker that was never started has no window: its stop does nothing.
    EXPECT_FALSE(PostStopRequest(BV_ACTION_CLEAN, ActionStopWindows{windows.block}));
    for (CWalkingWorker* worker : {&block, &unblock, &cleanFolder})
        worker->DestroyWindow();
}

}  // namespace
