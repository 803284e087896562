// Writes class registrations under HKEY_CLASSES_ROOT as an installer would,
// and reads them back, for the tests of COM activation and registration.
#pragma once

#include <windows.h>
#include <winreg.h>

#include <optional>
#include <string>

// Sets the text value `name` (null: the default value) of HKCR\<path>, creating the key.
inline bool SetClassesText(const std::wstring& path, const wchar_t* name,
                           const std::wstring& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    const bool set =
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) ==
        ERROR_SUCCESS;
    RegCloseKey(key);
    return set;
}

// The text value `name` (null: the default value) of HKCR\<path>; nothing
// when the key or value is missing or not text.
inline std::optional<std::wstring> ClassText(const std::wstring& path,
                                             const wchar_t* name = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    wchar_t text[512] = {};
    DWORD size = sizeof text - sizeof(wchar_t), type = 0;
    const LSTATUS status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    return std::wstring(text);
}

inline bool ClassKeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The class of the test module: "Test.Adder.1" with the version-independent
// "Test.Adder" naming it through CurVer only, served by `modulePath`.
inline const wchar_t kAdderClassText[] = L"{6C1D3F52-8E0B-4A7E-9B1F-2F1E0C3A5D01}";
inline constexpr CLSID kAdderClass = {
    0x6C1D3F52, 0x8E0B, 0x4A7E, {0x9B, 0x1F, 0x2F, 0x1E, 0x0C, 0x3A, 0x5D, 0x01}};

inline bool RegisterAdder(const std::wstring& modulePath) {
    const std::wstring classKey = std::wstring(L"CLSID\\") + kAdderClassText;
    return SetClassesText(L"Test.Adder.1\\CLSID", nullptr, kAdderClassText) &&
           SetClassesText(L"Test.Adder\\CurVer", nullptr, L"Test.Adder.1") &&
           SetClassesText(classKey, nullptr, L"Adder Class") &&
           SetClassesText(classKey + L"\\ProgID", nullptr, L"Test.Adder.1") &&
           SetClassesText(classKey + L"\\InprocServer32", nullptr, modulePath) &&
           SetClassesText(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
}
