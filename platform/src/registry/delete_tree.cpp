// RegDeleteTreeW: a key's subkeys, deepest first, and its values, through the
// public functions as any caller would remove them.
#include <winerror.h>
#include <winreg.h>

#include <vector>

namespace {

LSTATUS DeleteContents(HKEY key) {
    for (;;) {
        wchar_t child[256];
        DWORD length = 256;
        LSTATUS status = RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            return status;
        if ((status = RegDeleteTreeW(key, child)) != ERROR_SUCCESS)
            return status;
    }
    std::vector<wchar_t> name(16384);
    for (;;) {
        DWORD length = static_cast<DWORD>(name.size());
        LSTATUS status =
            RegEnumValueW(key, 0, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (status != ERROR_SUCCESS)
            return status;
        if ((status = RegDeleteValueW(key, name.data())) != ERROR_SUCCESS)
            return status;
    }
}

}  // namespace

LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(hKey, lpSubKey, 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS)
        return status;
    status = DeleteContents(key);
    RegCloseKey(key);
    // Without a subkey name the key itself stays, emptied.
    if (status != ERROR_SUCCESS || !lpSubKey || !*lpSubKey)
        return status;
    return RegDeleteKeyW(hKey, lpSubKey);
}
