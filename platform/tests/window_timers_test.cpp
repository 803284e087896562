// Timers on the virtual clock: window and thread timers, callbacks,
// coalescing of missed expiries, replacing and killing, and the queue waits
// that wake for them.
#include <windows.h>

#include "platform/clock.h"
#include "test_thread.h"
#include "thread_windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

std::vector<DWORD> ticksSeen;  // GetTickCount at each WM_TIMER of the UI thread's window
std::vector<DWORD> callbackTicks;

class WindowTimers : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::host::UseVirtualClock({2007, 3, 0, 4, 0, 0, 0, 0}, 1000);
        ticksSeen.clear();
        callbackTicks.clear();
    }
    void TearDown() override { DestroyWindowsOfThisThread(); }
};

LRESULT CALLBACK TimerWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == 1)
        ticksSeen.push_back(GetTickCount());
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void CALLBACK OnThreadTimer(HWND hwnd, UINT message, UINT_PTR, DWORD time) {
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_EQ(message, static_cast<UINT>(WM_TIMER));
    callbackTicks.push_back(time);
}

TEST_F(WindowTimers, ThirtyMinuteTimerFiresOnVirtualTimeAtEachPeriod) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TimerWindowProc;
    wc.lpszClassName = L"TimerWindow";
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND hwnd = nullptr;
    TestThread ui([&] {
        hwnd = CreateWindowExW(0, L"TimerWindow", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               nullptr, nullptr);
        SetTimer(hwnd, 1, 1800000, nullptr);
        SetTimer(nullptr, 0, 600000, OnThreadTimer);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
        return DWORD{0};
    });
    platform::host::AdvanceClock(0);
    platform::host::AdvanceClock(3 * 1800000);
    EXPECT_EQ(ticksSeen, (std::vector<DWORD>{1801000, 3601000, 5401000}));
    EXPECT_EQ(callbackTicks.size(), 9u);
    EXPECT_EQ(callbackTicks.front(), 601000u);
    PostThreadMessageW(ui.id(), WM_QUIT, 0, 0);
}

TEST_F(WindowTimers, MissedExpiriesCoalesceIntoOneMessageAndKeepTheRhythm) {
    HWND hwnd = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
    ASSERT_EQ(SetTimer(hwnd, 5, 100, nullptr), 5u);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    platform::host::AdvanceClock(1000);  // ten periods pass unseen
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    platform::host::AdvanceClock(50);  // the next expiry is at 1100 ms after the start
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    platform::host::AdvanceClock(50);
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));

    // Setting the same identifier again starts its period anew.
    platform::host::AdvanceClock(90);
    SetTimer(hwnd, 5, 100, nullptr);
    platform::host::AdvanceClock(90);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    platform::host::AdvanceClock(10);
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    // A killed timer leaves nothing behind, pending or to come.
    EXPECT_TRUE(KillTimer(hwnd, 5));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    platform::host::AdvanceClock(1000);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_FALSE(KillTimer(hwnd, 5));
    // A destroyed window's timers go with it.
    SetTimer(hwnd, 6, 100, nullptr);
    DestroyWindow(hwnd);
    platform::host::AdvanceClock(200);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTimers, ThreadTimersGetIdentifiersOfTheirOwnAndRunCallbacksWhenDispatched) {
    UINT_PTR first = SetTimer(nullptr, 0, 100, OnThreadTimer);
    UINT_PTR second = SetTimer(nullptr, 0, 200, nullptr);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(0x1234), 1, 100, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

    platform::host::AdvanceClock(200);
    MSG msg;
    std::vector<UINT_PTR> ids;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        EXPECT_EQ(msg.hwnd, nullptr);
        ids.push_back(msg.wParam);
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(ids, (std::vector<UINT_PTR>{first, second}));
    EXPECT_EQ(callbackTicks, (std::vector<DWORD>{1200}));
}

TEST_F(WindowTimers, QueueWaitsWakeWhenATimerFallsDue) {
    std::atomic<DWORD> waited{0};
    std::atomic<DWORD> wokeAt{0};
    TestThread worker([&] {
        SetTimer(nullptr, 0, 250, nullptr);
        waited = MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_TIMER);
        wokeAt = GetTickCount();
        // Without QS_TIMER in the mask the timer does not end the wait.
        waited = waited + 10 * MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_POSTMESSAGE);
        return DWORD{0};
    });
    platform::host::AdvanceClock(0);
    platform::host::AdvanceClock(250);
    EXPECT_EQ(wokeAt.load(), 1250u);
    platform::host::AdvanceClock(1000);
    WaitForSingleObject(worker.handle(), INFINITE);
    EXPECT_EQ(waited.load(), WAIT_OBJECT_0 + 10 * WAIT_TIMEOUT);
}

}  // namespace
