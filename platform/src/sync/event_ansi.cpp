// The narrow entry point for events: the name passes through the ANSI code
// page to the wide twin.
#include <windows.h>

#include "core/ansi.h"

extern "C" HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                                      BOOL bInitialState, LPCSTR lpName) {
    if (!lpName)
        return CreateEventW(lpEventAttributes, bManualReset, bInitialState, nullptr);
    auto name = platform::AnsiToWide(lpName);
    if (!name) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    return CreateEventW(lpEventAttributes, bManualReset, bInitialState, name->c_str());
}
