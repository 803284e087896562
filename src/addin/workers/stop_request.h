// The user's stop of a long action reaches the add-in's hidden window with
// the action's type; from there it goes on, posted, to the stop window of the
// worker that runs that type of action.
#pragma once

#include <windows.h>

struct ActionStopWindows {
    HWND block = nullptr;        // the block worker's window
    HWND unblock = nullptr;      // the unblock worker's window
    HWND cleanFolder = nullptr;  // the folder-cleaning worker's: cleaning and recheck
};

// Posts the stop request (no parameters) to the window serving `actionType`;
// a type that no worker serves is ignored. True when a request was posted.
bool PostStopRequest(WPARAM actionType, const ActionStopWindows& windows);
