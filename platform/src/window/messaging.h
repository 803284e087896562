// Delivery of messages to window procedures, shared by the message API, the
// window functions and the controls.
#pragma once

#include <winuser.h>

namespace platform::window {

// Calls the window's current procedure on the calling thread; 0 when the
// window is gone.
LRESULT CallCurrentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Serves the messages other threads sent to the calling thread, oldest first.
void ServeSentMessages();

// The calling thread's message loop step used by nested loops (message
// boxes, modal dialogs): retrieves one message, waiting for it, and
// dispatches it. False when WM_QUIT came; it is then posted again, so the
// outer loop sees it too.
bool PumpOneMessage();

}  // namespace platform::window
