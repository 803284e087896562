// The wide Reg* functions: argument checks as Windows makes them, then the
// registry store's operations. A narrow (ANSI) function is the same after
// converting names to wide text and, for REG_SZ, REG_EXPAND_SZ and
// REG_MULTI_SZ, the data between the code page and wide text.
#include "registry/key_name.h"
#include "registry/registry_store.h"
#include "registry/value_transfer.h"

#include <winerror.h>
#include <winreg.h>

#include <cstring>
#include <cwchar>

using platform::registry::CopyName;
using platform::registry::CopyValueData;
using platform::registry::RegistryStore;
using platform::registry::RegistryValue;
using platform::registry::SplitKeyPath;

namespace {

constexpr REGSAM kMaximumAllowed = 0x02000000;

std::wstring_view NameOrEmpty(LPCWSTR name) {
    return name ? std::wstring_view(name) : L"";
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Enumerated string data that lacks its terminator gets one when the buffer
// has room for it; the size reported stays that of the stored data.
void TerminateEnumeratedString(const RegistryValue& value, LPBYTE lpData, DWORD capacity) {
    const auto& data = value.data;
    if (!IsStringType(value.type) || data.size() % sizeof(WCHAR) != 0)
        return;
    if (capacity < data.size() + sizeof(WCHAR))
        return;
    WCHAR last = L'\0';
    if (!data.empty())
        std::memcpy(&last, data.data() + data.size() - sizeof(WCHAR), sizeof last);
    if (data.empty() || last != L'\0')
        std::memset(lpData + data.size(), 0, sizeof(WCHAR));
}

}  // namespace

extern "C" {

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired,
                               LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    std::vector<std::wstring> path;
    if (LSTATUS status = SplitKeyPath(lpSubKey, path); status != ERROR_SUCCESS)
        return status;
    return RegistryStore::Instance().CreateKey(hKey, path, samDesired, phkResult, lpdwDisposition);
}

LSTATUS WINAPI RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    // A predefined key with no subkey is handed back as it is.
    if (platform::registry::IsPredefinedKey(hKey) && (!lpSubKey || !*lpSubKey)) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    return RegCreateKeyExW(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, kMaximumAllowed,
                           nullptr, phkResult, nullptr);
}

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired,
                             PHKEY phkResult) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    std::vector<std::wstring> path;
    if (LSTATUS status = SplitKeyPath(lpSubKey, path); status != ERROR_SUCCESS)
        return status;
    return RegistryStore::Instance().OpenKey(hKey, path, samDesired, phkResult);
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    RegistryValue value;
    LSTATUS status = RegistryStore::Instance().ReadValue(hKey, NameOrEmpty(lpValueName), value);
    if (status != ERROR_SUCCESS)
        return status;
    return CopyValueData(value.type, value.data, lpType, lpData, lpcbData);
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
    std::wstring_view name = NameOrEmpty(lpValueName);
    if (name.size() > platform::registry::kMaxValueNameLength)
        return ERROR_INVALID_PARAMETER;
    // Windows faults reading the missing buffer and reports it so.
    if (!lpData && cbData)
        return ERROR_NOACCESS;
    std::vector<BYTE> data(lpData, lpData + (lpData ? cbData : 0));
    return RegistryStore::Instance().WriteValue(hKey, name, dwType, std::move(data));
}

LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    return RegistryStore::Instance().DeleteValue(hKey, NameOrEmpty(lpValueName));
}

LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    std::vector<std::wstring> path;
    if (LSTATUS status = SplitKeyPath(lpSubKey, path); status != ERROR_SUCCESS)
        return status;
    return RegistryStore::Instance().DeleteKey(hKey, path);
}

LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                             LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                             PFILETIME lpftLastWriteTime) {
    if (lpReserved || !lpName || !lpcchName)
        return ERROR_INVALID_PARAMETER;
    std::wstring name;
    LSTATUS status = RegistryStore::Instance().SubkeyNameAt(hKey, dwIndex, name);
    if (status != ERROR_SUCCESS)
        return status;
    status = CopyName(name, lpName, lpcchName);
    if (status != ERROR_SUCCESS)
        return status;
    // Keys have no class here, and no last-write time is kept.
    if (lpClass && lpcchClass && *lpcchClass)
        *lpClass = L'\0';
    if (lpcchClass)
        *lpcchClass = 0;
    if (lpftLastWriteTime)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || !lpValueName || !lpcchValueName || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    RegistryValue value;
    LSTATUS status = RegistryStore::Instance().ValueAt(hKey, dwIndex, value);
    if (status != ERROR_SUCCESS)
        return status;
    status = CopyName(value.name, lpValueName, lpcchValueName);
    if (status != ERROR_SUCCESS)
        return status;
    DWORD capacity = lpcbData ? *lpcbData : 0;
    status = CopyValueData(value.type, value.data, lpType, lpData, lpcbData);
    if (status == ERROR_SUCCESS && lpData)
        TerminateEnumeratedString(value, lpData, capacity);
    return status;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    return RegistryStore::Instance().CloseKey(hKey);
}

}  // extern "C"
