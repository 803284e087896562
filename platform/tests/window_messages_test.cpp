// Windows, classes and the message core: creation and destruction order,
// posting and sending (also across threads), retrieval order, filters, the
// queue waits and subclassing.
#include <windows.h>

#include "platform/clock.h"
#include "test_thread.h"
#include "thread_windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace {

// What the windows of a test received, in order, across threads.
struct Journal {
    std::mutex lock;
    std::vector<std::pair<HWND, UINT>> entries;
    void Add(HWND hwnd, UINT message) {
        std::lock_guard guard(lock);
        entries.emplace_back(hwnd, message);
    }
    void Clear() {
        std::lock_guard guard(lock);
        entries.clear();
    }
    std::vector<UINT> MessagesOf(HWND hwnd, std::initializer_list<UINT> kinds) {
        std::lock_guard guard(lock);
        std::vector<UINT> out;
        for (auto& [target, message] : entries) {
            if (target == hwnd && std::find(kinds.begin(), kinds.end(), message) != kinds.end())
                out.push_back(message);
        }
        return out;
    }
    std::vector<std::pair<HWND, UINT>> Of(std::initializer_list<UINT> kinds) {
        std::lock_guard guard(lock);
        std::vector<std::pair<HWND, UINT>> out;
        for (auto& entry : entries) {
            if (std::find(kinds.begin(), kinds.end(), entry.second) != kinds.end())
                out.push_back(entry);
        }
        return out;
    }
};

Journal journal;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    journal.Add(hwnd, message);
    if (message >= WM_USER)
        return static_cast<LRESULT>(message - WM_USER + wParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

const wchar_t kClass[] = L"TestRecorder";

class WindowMessages : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::host::UseVirtualClock({2007, 3, 0, 4, 0, 0, 0, 0});
        WNDCLASSW wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = kClass;
        wc.cbWndExtra = 16;
        wc.style = CS_GLOBALCLASS;
        ASSERT_NE(RegisterClassW(&wc), 0);
        journal.Clear();
    }
    void TearDown() override {
        DestroyWindowsOfThisThread();
        UnregisterClassW(kClass, nullptr);
    }
};

HWND Make(HWND parent = nullptr, DWORD style = 0, const wchar_t* title = L"", UINT_PTR id = 0) {
    return CreateWindowExW(0, kClass, title, style, 0, 0, 100, 50, parent,
                           reinterpret_cast<HMENU>(id), nullptr, nullptr);
}

TEST_F(WindowMessages, CreationSendsItsMessagesInWindowsOrder) {
    HWND hwnd = Make(nullptr, WS_POPUP | WS_VISIBLE, L"Title");
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(journal.MessagesOf(hwnd, {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    wchar_t text[16];
    EXPECT_EQ(GetWindowTextW(hwnd, text, 16), 5);
    EXPECT_STREQ(text, L"Title");
    EXPECT_EQ(GetWindowTextW(hwnd, text, 3), 2);  // truncated, still terminated
    EXPECT_STREQ(text, L"Ti");
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());
}

TEST_F(WindowMessages, ClassRegistrationErrors) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = L"testrecorder";  // names ignore case
    wc.style = CS_GLOBALCLASS;
    EXPECT_EQ(RegisterClassW(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    EXPECT_EQ(
        CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_EQ(Make(nullptr, WS_CHILD), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TLW_WITH_WSCHILD));

    HWND hwnd = Make();
    EXPECT_FALSE(UnregisterClassW(kClass, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    DestroyWindow(hwnd);
    EXPECT_TRUE(UnregisterClassW(kClass, nullptr));
    EXPECT_FALSE(UnregisterClassW(kClass, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
}

TEST_F(WindowMessages, DestructionOrderOwnedFirstThenDestroyDownAndNcDestroyUp) {
    HWND top = Make(nullptr, WS_POPUP);
    HWND child = Make(top, WS_CHILD, L"", 1);
    HWND grandchild = Make(child, WS_CHILD, L"", 2);
    HWND owned = Make(top, WS_POPUP);
    EXPECT_EQ(GetWindow(owned, GW_OWNER), top);
    EXPECT_EQ(GetParent(child), top);

    ASSERT_TRUE(DestroyWindow(top));
    EXPECT_EQ(journal.Of({WM_DESTROY, WM_NCDESTROY}),
              (std::vector<std::pair<HWND, UINT>>{{owned, WM_DESTROY},
                                                  {owned, WM_NCDESTROY},
                                                  {top, WM_DESTROY},
                                                  {child, WM_DESTROY},
                                                  {grandchild, WM_DESTROY},
                                                  {grandchild, WM_NCDESTROY},
                                                  {child, WM_NCDESTROY},
                                                  {top, WM_NCDESTROY}}));
    for (HWND gone : {top, child, grandchild, owned})
        EXPECT_FALSE(IsWindow(gone));
    EXPECT_FALSE(DestroyWindow(top));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowMessages, OnlyTheOwnerThreadMayDestroy) {
    HWND hwnd = Make();
    DWORD error = 0;
    BOOL destroyed = TRUE;
    {
        TestThread other([&] {
            destroyed = DestroyWindow(hwnd);
            error = GetLastError();
            return DWORD{0};
        });
    }
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(WindowMessages, PostingChecksTheWindowAndDropsMessagesOfDestroyedWindows) {
    EXPECT_FALSE(PostMessageW(reinterpret_cast<HWND>(0x1234), WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(PostThreadMessageW(0xFFFC, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));

    HWND hwnd = Make();
    ASSERT_TRUE(PostMessageW(hwnd, WM_USER + 1, 0, 0));
    DestroyWindow(hwnd);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowMessages, SentBeforePostedBeforeQuitBeforeTimer) {
    HWND hwnd = Make();
    SetTimer(hwnd, 7, 100, nullptr);
    platform::host::AdvanceClock(100);  // the timer is due
    PostQuitMessage(3);
    PostMessageW(hwnd, WM_USER + 1, 0, 0);
    PostMessageW(hwnd, WM_USER + 2, 0, 0);
    {
        // Another thread's send waits until this thread looks at its queue.
        TestThread sender([&] {
            SendMessageW(hwnd, WM_USER + 3, 0, 0);
            return DWORD{0};
        });
        platform::host::AdvanceClock(0);
        MSG msg;
        std::vector<UINT> order;
        while (GetMessageW(&msg, nullptr, 0, 0)) {
            order.push_back(msg.message);
            DispatchMessageW(&msg);
        }
        EXPECT_EQ(msg.wParam, 3u);
        EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
        EXPECT_EQ(journal.MessagesOf(hwnd, {WM_USER + 1, WM_USER + 2, WM_USER + 3}),
                  (std::vector<UINT>{WM_USER + 3, WM_USER + 1, WM_USER + 2}));
        EXPECT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
        EXPECT_EQ(msg.wParam, 7u);
    }
}

TEST_F(WindowMessages, PeekFiltersAndNoRemove) {
    HWND a = Make();
    HWND b = Make();
    HWND child = Make(a, WS_CHILD, L"", 5);
    PostMessageW(a, WM_USER + 1, 0, 0);
    PostMessageW(b, WM_USER + 2, 0, 0);
    PostMessageW(child, WM_USER + 3, 0, 0);
    PostThreadMessageW(GetCurrentThreadId(), WM_USER + 4, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_REMOVE));  // still there after NOREMOVE
    EXPECT_FALSE(PeekMessageW(&msg, b, 0, 0, PM_REMOVE));
    // A window filter takes its children's messages too.
    ASSERT_TRUE(PeekMessageW(&msg, a, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, child);
    // (HWND)-1 takes thread messages only.
    ASSERT_TRUE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 4));
    EXPECT_EQ(msg.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_FALSE(PeekMessageW(&msg, reinterpret_cast<HWND>(0x1234), 0, 0, PM_REMOVE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

// Two threads with a window each send to each other's window from inside
// the handler of a sent message: the waiting sender serves the inner send.
HWND mainWindow;
HWND workerWindow;

LRESULT CALLBACK ForwardingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 10)  // ask the other thread's window for its number
        return SendMessageW(mainWindow, WM_USER + 11, 0, 0) * 10;
    if (message == WM_USER + 11)
        return 4;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(WindowMessages, CrossThreadSendsAreReentrantAndDoNotDeadlock) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ForwardingProc;
    wc.lpszClassName = L"Forwarder";
    wc.style = CS_GLOBALCLASS;
    ASSERT_NE(RegisterClassW(&wc), 0);
    mainWindow =
        CreateWindowExW(0, L"Forwarder", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    TestThread worker([&] {
        workerWindow = CreateWindowExW(0, L"Forwarder", L"", 0, 0, 0, 1, 1, nullptr, nullptr,
                                       nullptr, nullptr);
        SetEvent(ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
        DestroyWindow(workerWindow);
        return DWORD{0};
    });
    WaitForSingleObject(ready, INFINITE);
    EXPECT_EQ(SendMessageW(workerWindow, WM_USER + 10, 0, 0), 40);
    DWORD_PTR result = 0;
    EXPECT_EQ(SendMessageTimeoutW(workerWindow, WM_USER + 11, 0, 0, SMTO_NORMAL, 1000, &result), 1);
    EXPECT_EQ(result, 4u);
    PostThreadMessageW(worker.id(), WM_QUIT, 0, 0);
    CloseHandle(ready);
}

TEST_F(WindowMessages, SendToAThreadThatNeverLooksTimesOut) {
    HWND hwnd = Make();
    LRESULT sent = 1;
    DWORD error = 0;
    TestThread sender([&] {
        DWORD_PTR result = 0;
        sent = SendMessageTimeoutW(hwnd, WM_USER + 1, 0, 0, SMTO_NORMAL, 5000, &result);
        error = GetLastError();
        return DWORD{0};
    });
    platform::host::AdvanceClock(5000);
    WaitForSingleObject(sender.handle(), INFINITE);
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_TIMEOUT));
    // The message is still delivered later; its result goes nowhere.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    EXPECT_EQ(journal.MessagesOf(hwnd, {WM_USER + 1}).size(), 1u);
}

TEST_F(WindowMessages, MsgWaitWakesForNewInputOnly) {
    HWND hwnd = Make();
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT),
              static_cast<DWORD>(WAIT_TIMEOUT));
    PostMessageW(hwnd, WM_USER, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    // The input is not new once the queue was looked at, though still there.
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT),
              static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &event, 0, QS_ALLINPUT, MWMO_INPUTAVAILABLE),
              WAIT_OBJECT_0 + 1);
    // A mask without posted messages ignores them.
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &event, 0, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE),
              static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(event);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0);
    EXPECT_EQ(MsgWaitForMultipleObjects(64, &event, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseHandle(event);
}

TEST_F(WindowMessages, BlockedThreadsWakeForPostsAndTimeoutsOnVirtualTime) {
    std::atomic<DWORD> outcome{0};
    std::atomic<UINT> got{0};
    TestThread waiter([&] {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // creates the queue
        outcome = MsgWaitForMultipleObjects(0, nullptr, FALSE, 10000, QS_POSTMESSAGE);
        if (GetMessageW(&msg, nullptr, 0, 0))
            got = msg.message;
        return DWORD{0};
    });
    platform::host::AdvanceClock(0);  // settles only if the waiter blocks instead of spinning
    platform::host::AdvanceClock(10000);
    EXPECT_EQ(outcome.load(), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(got.load(), 0u);
    ASSERT_TRUE(PostThreadMessageW(waiter.id(), WM_USER + 5, 0, 0));
    WaitForSingleObject(waiter.handle(), INFINITE);
    EXPECT_EQ(got.load(), static_cast<UINT>(WM_USER + 5));
}

WNDPROC originalProc;
std::vector<UINT> subclassSaw;

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    subclassSaw.push_back(message);
    if (message == WM_USER + 1)
        return 99;
    return CallWindowProcW(originalProc, hwnd, message, wParam, lParam);
}

TEST_F(WindowMessages, SubclassingAndWindowData) {
    HWND hwnd = Make();
    originalProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    EXPECT_EQ(originalProc, RecordingProc);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(SubclassProc));
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 1, 0, 0), 99);
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 2, 5, 0), 7);  // passed on to the class procedure
    EXPECT_EQ(subclassSaw, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
    EXPECT_EQ(journal.MessagesOf(hwnd, {WM_USER + 1, WM_USER + 2}),
              (std::vector<UINT>{WM_USER + 2}));

    EXPECT_EQ(SetWindowLongPtrW(hwnd, GWLP_USERDATA, 1234), 0);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), 1234);
    EXPECT_EQ(SetWindowLongPtrW(hwnd, 8, -5), 0);  // the class's extra bytes
    EXPECT_EQ(GetWindowLongPtrW(hwnd, 8), -5);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, 9), 0);  // would run past the 16 extra bytes
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_EQ(GetWindowLongPtrW(nullptr, GWL_STYLE), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowMessages, MessageOnlyWindowsAreNotFoundAmongTopLevelWindows) {
    HWND visible = Make(nullptr, WS_POPUP, L"Shown");
    HWND hidden = Make(HWND_MESSAGE, 0, L"Hidden");
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(FindWindowW(kClass, L"Shown"), visible);
    EXPECT_EQ(FindWindowW(nullptr, L"shown"), visible);  // titles compare ignoring case
    EXPECT_EQ(FindWindowW(kClass, L"Hidden"), nullptr);
    EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, kClass, L"Hidden"), hidden);
    std::vector<HWND> seen;
    EnumWindows(
        [](HWND hwnd, LPARAM out) {
            reinterpret_cast<std::vector<HWND>*>(out)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen));
    EXPECT_EQ(seen, (std::vector<HWND>{visible}));
    // Messages still reach it.
    EXPECT_EQ(SendMessageW(hidden, WM_USER + 3, 1, 0), 4);
}

}  // namespace
