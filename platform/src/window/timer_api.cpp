// SetTimer and KillTimer. A timer belongs to the queue of the thread that
// set it; its WM_TIMER is made when the thread looks for a message and the
// timer has expired, at most one pending per timer.
#include "time/clock.h"
#include "window/message_queue.h"
#include "window/window_table.h"

#include <errhandlingapi.h>
#include <processthreadsapi.h>
#include <winerror.h>
#include <winuser.h>

using namespace platform::window;

namespace {

// False with the error set when `hwnd` is not a window of the calling thread.
bool OwnWindowOrNone(HWND hwnd) {
    if (!hwnd)
        return true;
    auto window = Snapshot(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (window->threadId != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

}  // namespace

extern "C" UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse,
                                    TIMERPROC lpTimerFunc) {
    if (!OwnWindowOrNone(hWnd))
        return 0;
    auto queue = CurrentQueue();
    auto lock = platform::sync::LockScheduler();
    UINT_PTR id = queue->SetTimer(hWnd, nIDEvent, uElapse, lpTimerFunc, platform::clock::Tick());
    // A window timer answers with a nonzero value even for identifier 0.
    return hWnd && id == 0 ? 1 : id;
}

extern "C" BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    if (!OwnWindowOrNone(hWnd))
        return FALSE;
    auto queue = CurrentQueue();
    auto lock = platform::sync::LockScheduler();
    if (queue->KillTimer(hWnd, uIDEvent))
        return TRUE;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
