// Text at the core's edges: BSTRs in and out, and the conversions between
// the wide text of the interfaces and the bytes the engine and the network
// see.
#pragma once

#include <oleauto.h>
#include <windows.h>

#include <string>
#include <string_view>

namespace standins::core {

// The text of a BSTR; a null BSTR is the empty text.
inline std::wstring_view TextOf(BSTR text) {
    return text ? std::wstring_view(text, SysStringLen(text)) : std::wstring_view();
}

// Converts through the platform's code pages (CP_ACP, CP_UTF8, ...).
// Characters a page cannot hold become its default character.
std::string Narrow(std::wstring_view text, UINT codePage);
std::wstring Widen(std::string_view text, UINT codePage);

// Sets *out to a new BSTR holding the text.
HRESULT ReturnText(std::wstring_view text, BSTR* out);

}  // namespace standins::core
