// A wide string that travels in a posted message's wParam: the sender
// allocates it, the window that handles the message frees it.
#pragma once

#include <windows.h>

#include <string>

WPARAM NewMessageString(const std::wstring& text);
void FreeMessageString(wchar_t* text);
