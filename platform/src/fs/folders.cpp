#include "fs/folders.h"

#include "fs/host_location.h"
#include "fs/open_file.h"

#include <errhandlingapi.h>
#include <fileapi.h>
#include <winerror.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform::fs {

DWORD CreateFolder(const WindowsPath& path) {
    HostLocation location = Locate(path);
    if (location.found)
        return ERROR_ALREADY_EXISTS;
    if (!location.parentFound)
        return ERROR_PATH_NOT_FOUND;
    if (::mkdir(location.path.c_str(), 0777) != 0)
        return Win32ErrorFromErrno(errno);
    return 0;
}

DWORD CreateFolderTree(const WindowsPath& path) {
    WindowsPath prefix{path.drive, {}, false};
    for (const auto& name : path.components) {
        prefix.components.push_back(name);
        DWORD error = CreateFolder(prefix);
        if (error == ERROR_ALREADY_EXISTS && Locate(prefix).isDirectory)
            continue;
        if (error)
            return error;
    }
    return Locate(path).isDirectory ? 0 : ERROR_PATH_NOT_FOUND;
}

DWORD RemoveFolder(const WindowsPath& path) {
    HostLocation location = Locate(path);
    if (!location.found)
        return NotFoundError(location);
    if (!location.isDirectory)
        return ERROR_DIRECTORY;  // "the directory name is invalid"
    if (path.components.empty())
        return ERROR_ACCESS_DENIED;  // a drive's root stays
    if (::rmdir(location.path.c_str()) != 0)
        return Win32ErrorFromErrno(errno);
    return 0;
}

DWORD AttributesOf(const WindowsPath& path, DWORD& attributes) {
    HostLocation location = Locate(path);
    if (!location.found)
        return NotFoundError(location);
    if (location.isDirectory) {
        attributes = FILE_ATTRIBUTE_DIRECTORY;
        return 0;
    }
    if (path.trailingSeparator)
        return ERROR_INVALID_NAME;
    if (IsDeletePending(location.path))
        return ERROR_ACCESS_DENIED;
    struct stat info {};
    if (::stat(location.path.c_str(), &info) != 0)
        return Win32ErrorFromErrno(errno);
    // Windows marks every file it creates or changes for archiving.
    attributes = FILE_ATTRIBUTE_ARCHIVE;
    if (!(info.st_mode & S_IWUSR))
        attributes |= FILE_ATTRIBUTE_READONLY;
    return 0;
}

}  // namespace platform::fs

namespace {

BOOL Result(DWORD error) {
    if (error == 0)
        return TRUE;
    SetLastError(error);
    return FALSE;
}

// Runs an operation on a caller's path, as a BOOL API function.
BOOL OnPath(LPCWSTR name, DWORD (*operation)(const platform::fs::WindowsPath&)) {
    platform::fs::WindowsPath path;
    if (!platform::fs::ParseCallerPath(name, path))
        return FALSE;
    return Result(operation(path));
}

}  // namespace

extern "C" BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    platform::fs::WindowsPath path;
    if (!platform::fs::ParseCallerPath(lpPathName, path, platform::fs::kMaxFolderPathChars,
                                       ERROR_FILENAME_EXCED_RANGE))
        return FALSE;
    return Result(platform::fs::CreateFolder(path));
}

extern "C" BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName) {
    return OnPath(lpPathName, platform::fs::RemoveFolder);
}

extern "C" BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
    return OnPath(lpFileName, platform::fs::DeleteFileAt);
}

extern "C" DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
    platform::fs::WindowsPath path;
    if (!platform::fs::ParseCallerPath(lpFileName, path))
        return INVALID_FILE_ATTRIBUTES;
    DWORD attributes = 0;
    if (DWORD error = platform::fs::AttributesOf(path, attributes)) {
        SetLastError(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    return attributes;
}
