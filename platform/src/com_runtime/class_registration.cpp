#include "com_runtime/class_registration.h"

#include <objbase.h>
#include <winreg.h>

namespace platform::com {
namespace {

// The default value of HKCR\<path>, as text.
std::optional<std::wstring> DefaultText(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    std::optional<std::wstring> text;
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                             &bytes) == ERROR_SUCCESS) {
            value.resize(bytes / sizeof(wchar_t));
            while (!value.empty() && value.back() == L'\0')
                value.pop_back();
            text = std::move(value);
        }
    }
    RegCloseKey(key);
    return text;
}

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::wstring ClassKeyPath(REFCLSID clsid) {
    wchar_t text[CHARS_IN_GUID];
    StringFromGUID2(clsid, text, CHARS_IN_GUID);
    return std::wstring(L"CLSID\\") + text;
}

}  // namespace

HRESULT ClassOfProgId(const wchar_t* progId, CLSID& clsid) {
    const std::wstring name(progId);
    // A ProgID names no key path: a backslash would reach into another key.
    if (name.empty() || name.find(L'\\') != std::wstring::npos || !KeyExists(name))
        return CO_E_CLASSSTRING;
    if (auto text = DefaultText(name + L"\\CLSID"))
        return SUCCEEDED(IIDFromString(text->c_str(), &clsid)) ? S_OK : CO_E_CLASSSTRING;
    // A version-independent ProgID may name its class only through its current version.
    if (auto current = DefaultText(name + L"\\CurVer")) {
        if (auto text = DefaultText(*current + L"\\CLSID"))
            return SUCCEEDED(IIDFromString(text->c_str(), &clsid)) ? S_OK : CO_E_CLASSSTRING;
    }
    return REGDB_E_CLASSNOTREG;
}

std::optional<std::wstring> ClassKeyText(REFCLSID clsid, const wchar_t* subkey) {
    std::wstring path = ClassKeyPath(clsid);
    if (subkey)
        path += std::wstring(L"\\") + subkey;
    return DefaultText(path);
}

}  // namespace platform::com
