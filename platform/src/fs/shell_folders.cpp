// The shell's special folders and the system folder. The per-user folders
// are those of a Vista-style profile, C:\Users\<user name>\...; nothing is
// redirected, so a folder's current and default paths are the same.
#include "fs/folders.h"
#include "platform/filesystem.h"
#include "platform/root.h"

#include <errhandlingapi.h>
#include <fileapi.h>
#include <shlobj.h>
#include <sysinfoapi.h>
#include <winerror.h>

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::wstring_view kSystemDirectory = L"C:\\Windows\\system32";

std::optional<std::wstring> FolderPath(int folder) {
    std::wstring profile = L"C:\\Users\\" + platform::host::UserName();
    switch (folder) {
        case CSIDL_DESKTOP:
            return profile + L"\\Desktop";
        case CSIDL_PROGRAMS:
            return profile + L"\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
        case CSIDL_PERSONAL:
            return profile + L"\\Documents";
        case CSIDL_APPDATA:
            return profile + L"\\AppData\\Roaming";
        case CSIDL_LOCAL_APPDATA:
            return profile + L"\\AppData\\Local";
        case CSIDL_COMMON_APPDATA:
            return L"C:\\ProgramData";
        case CSIDL_WINDOWS:
            return L"C:\\Windows";
        case CSIDL_SYSTEM:
            return std::wstring(kSystemDirectory);
        case CSIDL_PROGRAM_FILES:
            return L"C:\\Program Files";
        default:
            return std::nullopt;
    }
}

// Every folder FolderPath knows: what a newly set-up Windows user has.
constexpr int kSpecialFolders[] = {CSIDL_DESKTOP, CSIDL_PROGRAMS,      CSIDL_PERSONAL,
                                   CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA,
                                   CSIDL_WINDOWS, CSIDL_SYSTEM,        CSIDL_PROGRAM_FILES};

// Creates the folder when asked; otherwise checks that it exists (unless told
// not to). A missing folder fails with the error of looking it up, as the
// known-folder functions behind this one do.
HRESULT EnsureFolder(const std::wstring& path, bool create, bool verify) {
    platform::fs::WindowsPath parsed;
    if (!platform::fs::ParseCallerPath(path.c_str(), parsed))
        return HRESULT_FROM_WIN32(GetLastError());
    if (create) {
        DWORD error = platform::fs::CreateFolderTree(parsed);
        return error ? HRESULT_FROM_WIN32(error) : S_OK;
    }
    if (!verify)
        return S_OK;
    DWORD attributes = 0;
    DWORD error = platform::fs::AttributesOf(parsed, attributes);
    if (!error && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        error = ERROR_FILE_NOT_FOUND;
    return error ? HRESULT_FROM_WIN32(error) : S_OK;
}

}  // namespace

namespace platform::fs {

void EnsureUserFolders() {
    // Laying the folders down resolves paths on drive C: again, which comes
    // back here on the same thread.
    thread_local bool layingDown = false;
    if (layingDown)
        return;
    static std::mutex lock;
    static auto* doneFor = new std::pair<std::filesystem::path, std::wstring>;
    std::lock_guard guard(lock);
    std::pair<std::filesystem::path, std::wstring> now{platform::host::Root(),
                                                       platform::host::UserName()};
    if (*doneFor == now)
        return;
    layingDown = true;
    const DWORD callersError = GetLastError();
    for (int folder : kSpecialFolders) {
        WindowsPath parsed;
        // A folder that cannot be made shows as missing when it is asked for.
        if (auto path = FolderPath(folder); path && ParseCallerPath(path->c_str(), parsed))
            CreateFolderTree(parsed);
    }
    SetLastError(callersError);
    layingDown = false;
    *doneFor = std::move(now);
}

}  // namespace platform::fs

namespace {

template <class Char>
UINT CopySystemDirectory(Char* buffer, UINT size) {
    auto length = static_cast<UINT>(kSystemDirectory.size());
    // Too small: the size needed, terminating null included, and nothing written.
    if (!buffer || size <= length)
        return length + 1;
    for (UINT i = 0; i < length; ++i)
        buffer[i] = static_cast<Char>(kSystemDirectory[i]);
    buffer[length] = Char{0};
    return length;
}

}  // namespace

extern "C" HRESULT WINAPI SHGetFolderPathW(HWND, int csidl, HANDLE, DWORD dwFlags, LPWSTR pszPath) {
    if (!pszPath)
        return E_INVALIDARG;
    pszPath[0] = L'\0';
    if (dwFlags != SHGFP_TYPE_CURRENT && dwFlags != SHGFP_TYPE_DEFAULT)
        return E_INVALIDARG;
    auto path = FolderPath(csidl & ~CSIDL_FLAG_MASK);
    if (!path || path->size() >= MAX_PATH)
        return E_INVALIDARG;
    HRESULT result =
        EnsureFolder(*path, csidl & CSIDL_FLAG_CREATE, !(csidl & CSIDL_FLAG_DONT_VERIFY));
    if (FAILED(result))
        return result;
    path->copy(pszPath, path->size());
    pszPath[path->size()] = L'\0';
    return S_OK;
}

extern "C" BOOL WINAPI SHGetSpecialFolderPathW(HWND hwnd, LPWSTR pszPath, int csidl, BOOL fCreate) {
    int flags = fCreate ? CSIDL_FLAG_CREATE : 0;
    return SUCCEEDED(SHGetFolderPathW(hwnd, csidl | flags, nullptr, SHGFP_TYPE_CURRENT, pszPath));
}

extern "C" UINT WINAPI GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    return CopySystemDirectory(lpBuffer, uSize);
}

extern "C" UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return CopySystemDirectory(lpBuffer, uSize);
}
