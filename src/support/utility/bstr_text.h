// A BSTR's text as a wide string: its counted length, and empty for null.
#pragma once

#include <oleauto.h>

#include <string>

inline std::wstring TextOf(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}
