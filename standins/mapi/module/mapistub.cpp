// mapistub.dll of the system folder: it tells where Outlook's MAPI library
// is, by the Windows Installer component that Outlook registers for it.
//
// The installer's record is kept where the installation writes it: under
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\Components, a key
// per component identifier whose values name the installed file per
// qualifier (the default value for no qualifier).
#include <platform/call_faults.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

constexpr const wchar_t kComponentsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Components\\";

std::wstring Wide(const char* text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(size > 0 ? size : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
    wide.resize(std::wcslen(wide.c_str()));
    return wide;
}

bool ReadComponentPath(const std::wstring& component, const std::wstring& qualifier,
                       std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kComponentsKey + component).c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return false;
    wchar_t buffer[MAX_PATH] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result = RegQueryValueExW(key, qualifier.c_str(), nullptr, &type,
                                         reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return false;
    path = buffer;
    return !path.empty();
}

}  // namespace

// TRUE with the installed file's path when the component is installed for
// the qualifier (or, with none, at all). Installing on demand is not
// possible here: a component whose file is missing stays unanswered. Made to
// fail ("mapistub.FGetComponentPath"), it answers FALSE, as for a component
// not installed.
extern "C" __attribute__((visibility("default"))) BOOL FGetComponentPath(LPSTR component,
                                                                         LPSTR qualifier,
                                                                         LPSTR path, DWORD size,
                                                                         BOOL /*install*/) {
    if (FAILED(platform::calls::EnterMember(L"mapistub", L"FGetComponentPath"))) {
        if (path && size)
            path[0] = '\0';
        return FALSE;
    }
    if (!component || !path || size == 0)
        return FALSE;
    path[0] = '\0';
    std::wstring found;
    if (!ReadComponentPath(Wide(component), qualifier ? Wide(qualifier) : L"", found))
        return FALSE;
    if (GetFileAttributesW(found.c_str()) == INVALID_FILE_ATTRIBUTES)
        return FALSE;
    const int written = WideCharToMultiByte(CP_ACP, 0, found.c_str(), -1, path,
                                            static_cast<int>(size), nullptr, nullptr);
    if (written <= 0) {
        path[0] = '\0';
        return FALSE;
    }
    return TRUE;
}
