// What the registry says about classes: ProgIDs and the in-process servers
// registered under HKEY_CLASSES_ROOT.
#pragma once

#include <windef.h>

#include <optional>
#include <string>

namespace platform::com {

// The CLSID a ProgID names, through HKCR\<ProgID>\CLSID, or through the
// ProgID its CurVer names when it has no CLSID of its own. The HRESULT of
// failure: CO_E_CLASSSTRING for an unknown ProgID or unreadable CLSID text,
// REGDB_E_CLASSNOTREG for a ProgID that names no class.
HRESULT ClassOfProgId(const wchar_t* progId, CLSID& clsid);

// HKCR\CLSID\{clsid}\<subkey> default value; nothing when the key or value is absent.
std::optional<std::wstring> ClassKeyText(REFCLSID clsid, const wchar_t* subkey);

}  // namespace platform::com
