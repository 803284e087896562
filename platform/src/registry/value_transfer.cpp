#include "registry/value_transfer.h"

#include <winerror.h>

#include <cstring>

namespace platform::registry {

LSTATUS CopyValueData(DWORD type, const std::vector<BYTE>& data, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData) {
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    if (lpType)
        *lpType = type;
    if (!lpcbData)
        return ERROR_SUCCESS;
    auto needed = static_cast<DWORD>(data.size());
    if (!lpData) {
        *lpcbData = needed;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < needed) {
        *lpcbData = needed;
        return ERROR_MORE_DATA;
    }
    if (needed)
        std::memcpy(lpData, data.data(), needed);
    *lpcbData = needed;
    return ERROR_SUCCESS;
}

LSTATUS CopyName(std::wstring_view name, LPWSTR lpName, LPDWORD lpcchName) {
    if (!lpName || !lpcchName)
        return ERROR_INVALID_PARAMETER;
    if (*lpcchName <= name.size())
        return ERROR_MORE_DATA;
    if (!name.empty())
        std::memcpy(lpName, name.data(), name.size() * sizeof(wchar_t));
    lpName[name.size()] = L'\0';
    *lpcchName = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

}  // namespace platform::registry
