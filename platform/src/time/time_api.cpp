// GetSystemTime, GetLocalTime and GetTickCount on the platform clock.
#include <sysinfoapi.h>

#include "time/calendar.h"
#include "time/clock.h"

extern "C" void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    *lpSystemTime = platform::calendar::FromMs(platform::clock::SystemMs());
}

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    *lpSystemTime = platform::calendar::FromMs(platform::clock::LocalMs());
}

// Windows' tick count is the low 32 bits of a 64-bit millisecond count, so it
// wraps to 0 after 49.7 days.
extern "C" DWORD WINAPI GetTickCount(void) {
    return static_cast<DWORD>(platform::clock::Tick());
}
