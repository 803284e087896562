// Host-side control of the machine's code pages. Not a Windows API: only the
// simulator and tests call it. The ANSI code page (CP_ACP, CP_THREAD_ACP,
// GetACP) is 1252 and the OEM code page (CP_OEMCP, GetOEMCP) 437 unless the
// host sets others.
#pragma once

#include <windef.h>

namespace platform::host {

// Each returns false, and changes nothing, when the page is not one that
// IsValidCodePage accepts.
bool SetAnsiCodePage(UINT codePage);
bool SetOemCodePage(UINT codePage);

}  // namespace platform::host
