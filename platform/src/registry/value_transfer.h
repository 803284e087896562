// Handing names and value data to a caller's buffers the way the Reg*
// functions do: sizes, ERROR_MORE_DATA, and NULL buffers asking for sizes.
// The narrow (ANSI) functions reuse these after converting the data.
#pragma once

#include <windef.h>

#include <string_view>
#include <vector>

namespace platform::registry {

// Data as RegQueryValueEx gives it: the type always; with lpData NULL the
// size; with a short buffer ERROR_MORE_DATA and the size needed in
// *lpcbData; else the data exactly as stored (no terminator is added).
// Refuses lpData without lpcbData with ERROR_INVALID_PARAMETER.
LSTATUS CopyValueData(DWORD type, const std::vector<BYTE>& data, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData);

// A name into a buffer of *lpcchName characters, with its terminating null;
// on success *lpcchName receives the length without the null. When it does
// not fit, ERROR_MORE_DATA and *lpcchName is left as it was (as Windows
// does for enumerated names).
LSTATUS CopyName(std::wstring_view name, LPWSTR lpName, LPDWORD lpcchName);

}  // namespace platform::registry
