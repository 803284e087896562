// The registry's narrow entry points: names and string data pass through the
// ANSI code page to and from their wide twins.
#include <windows.h>

#include "core/ansi.h"
#include "registry/value_transfer.h"

#include <vector>

namespace {

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// A name for the wide call: null stays null (the default value, the same key).
struct WideName {
    WideName(const WideName&) = delete;
    WideName& operator=(const WideName&) = delete;
    explicit WideName(LPCSTR name) {
        if (!name)
            return;
        auto converted = platform::AnsiToWide(name);
        valid = converted.has_value();
        if (valid)
            text = std::move(*converted);
        pointer = text.c_str();
    }
    std::wstring text;
    LPCWSTR pointer = nullptr;
    bool valid = true;
};

}  // namespace

extern "C" LSTATUS WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    WideName subKey(lpSubKey);
    if (!subKey.valid)
        return ERROR_INVALID_PARAMETER;
    return RegCreateKeyW(hKey, subKey.pointer, phkResult);
}

extern "C" LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions,
                                        REGSAM samDesired, PHKEY phkResult) {
    WideName subKey(lpSubKey);
    if (!subKey.valid)
        return ERROR_INVALID_PARAMETER;
    return RegOpenKeyExW(hKey, subKey.pointer, ulOptions, samDesired, phkResult);
}

extern "C" LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved,
                                         DWORD dwType, const BYTE* lpData, DWORD cbData) {
    WideName name(lpValueName);
    if (!name.valid)
        return ERROR_INVALID_PARAMETER;
    if (!IsTextType(dwType) || !lpData) {
        return RegSetValueExW(hKey, name.pointer, Reserved, dwType, lpData, cbData);
    }
    auto wide = platform::AnsiToWide(reinterpret_cast<const char*>(lpData), cbData);
    if (!wide)
        return ERROR_INVALID_PARAMETER;
    return RegSetValueExW(hKey, name.pointer, Reserved, dwType,
                          reinterpret_cast<const BYTE*>(wide->data()),
                          static_cast<DWORD>(wide->size() * sizeof(WCHAR)));
}

// Text values are read wide and handed out in the ANSI code page, with the
// size of the ANSI form; other values pass through unchanged.
extern "C" LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                           LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    WideName name(lpValueName);
    if (!name.valid)
        return ERROR_FILE_NOT_FOUND;

    DWORD type = REG_NONE;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(hKey, name.pointer, lpReserved, &type, nullptr, &size);
    if (status != ERROR_SUCCESS)
        return status;
    std::vector<BYTE> data(size);
    status = RegQueryValueExW(hKey, name.pointer, lpReserved, nullptr, data.data(), &size);
    if (status != ERROR_SUCCESS)
        return status;
    data.resize(size);

    if (IsTextType(type)) {
        const std::string narrow = platform::WideToAnsi(reinterpret_cast<const WCHAR*>(data.data()),
                                                        data.size() / sizeof(WCHAR));
        data.assign(narrow.begin(), narrow.end());
    }
    return platform::registry::CopyValueData(type, data, lpType, lpData, lpcbData);
}
