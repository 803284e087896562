// The registry's narrow entry points: names and string data pass through the
// ANSI code page to and from their wide twins.
#include <windows.h>

#include "core/ansi.h"

#include <cstring>
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
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;

    DWORD type = REG_NONE;
    DWORD wideSize = 0;
    LSTATUS status = RegQueryValueExW(hKey, name.pointer, lpReserved, &type, nullptr, &wideSize);
    if (status != ERROR_SUCCESS)
        return status;
    if (lpType)
        *lpType = type;
    if (!IsTextType(type)) {
        return RegQueryValueExW(hKey, name.pointer, lpReserved, nullptr, lpData, lpcbData);
    }

    std::vector<WCHAR> wide(wideSize / sizeof(WCHAR) + 1);
    DWORD readSize = wideSize;
    status = RegQueryValueExW(hKey, name.pointer, lpReserved, nullptr,
                              reinterpret_cast<BYTE*>(wide.data()), &readSize);
    if (status != ERROR_SUCCESS)
        return status;
    const std::string narrow = platform::WideToAnsi(wide.data(), readSize / sizeof(WCHAR));
    if (!lpcbData)
        return ERROR_SUCCESS;
    const DWORD needed = static_cast<DWORD>(narrow.size());
    if (lpData && *lpcbData < needed) {
        *lpcbData = needed;
        return ERROR_MORE_DATA;
    }
    if (lpData)
        std::memcpy(lpData, narrow.data(), needed);
    *lpcbData = needed;
    return ERROR_SUCCESS;
}
