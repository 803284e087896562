// The running Outlook's version, read from its application object by name.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

// For version 11.0.8312: major 11 and text "11.0". False when the application
// is null, has no version or the version holds no dot.
bool GetOutlookVersion(IDispatch* application, DWORD& major, std::wstring& text);
