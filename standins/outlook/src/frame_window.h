// The frame window of an explorer.
#pragma once

#include <windows.h>

#include <string>

namespace outlook::objects {

// Class "rctrl_renwnd32", titled with the caption, with an "MsoDockTop" child
// where command bars dock.
HWND CreateExplorerFrame(const std::wstring& caption);

}  // namespace outlook::objects
