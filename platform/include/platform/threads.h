// Host-side view of the threads the process started through CreateThread:
// which are alive and which named kernel objects each is waiting on right
// now. Not a Windows API: only the simulator and tests call it.
#pragma once

#include <windef.h>

#include <string>
#include <vector>

namespace platform::host {

struct ThreadInfo {
    DWORD id = 0;          // the thread's identifier, as GetThreadId gives it
    bool waiting = false;  // blocked in a platform wait at this moment
    // The names of the named objects among those it is waiting on, in the
    // order the wait listed them; unnamed objects are left out.
    std::vector<std::wstring> waitingOn;
};

// Every thread started through CreateThread that has not ended, oldest first.
std::vector<ThreadInfo> ListThreads();

}  // namespace platform::host
