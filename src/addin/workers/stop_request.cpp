#include "addin/workers/stop_request.h"

#include "addin/workers/worker_messages.h"

namespace {

HWND WindowServing(WPARAM actionType, const ActionStopWindows& windows) {
    switch (actionType) {
        case BV_ACTION_BLOCK:
            return windows.block;
        case BV_ACTION_UNBLOCK:
            return windows.unblock;
        case BV_ACTION_CLEAN:
        case BV_ACTION_RECHECK:
            return windows.cleanFolder;
        default:
            return nullptr;
    }
}

}  // namespace

bool PostStopRequest(WPARAM actionType, const ActionStopWindows& windows) {
    HWND window = WindowServing(actionType, windows);
    return window && PostMessageW(window, WM_BV_STOP_ACTION, 0, 0);
}
