// The windows a test left on its thread, destroyed as the thread's end would
// destroy them, so that the next test of the same process finds none of them
// (nor their classes in use, nor their timers).
#pragma once

#include <windows.h>

#include "platform/windows.h"

inline void DestroyWindowsOfThisThread() {
    for (const auto& window : platform::host::ListWindows())
        if (window.threadId == GetCurrentThreadId() && !window.parent && IsWindow(window.hwnd))
            DestroyWindow(window.hwnd);
}
