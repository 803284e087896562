#include "fs/host_location.h"

#include "core/utf8.h"
#include "fs/case_fold.h"
#include "fs/folders.h"
#include "platform/root.h"

#include <winerror.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

namespace platform::fs {
namespace {

bool IsDirectory(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The on-disk name of the entry of `folder` that matches `name` ignoring case.
std::optional<std::string> FindEntry(const std::filesystem::path& folder,
                                     const std::wstring& name) {
    std::string exact = EncodeUtf8(name).bytes;
    if (Exists(folder / exact))
        return exact;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return std::nullopt;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string_view onDisk = entry->d_name;
        if (onDisk == "." || onDisk == "..")
            continue;
        if (NamesEqualIgnoringCase(DecodeUtf8<wchar_t>(onDisk).text, name))
            return std::string(onDisk);
    }
    return std::nullopt;
}

}  // namespace

namespace {

std::filesystem::path DriveFolderPath(wchar_t drive) {
    return platform::host::Root() / (std::string("drive_") + static_cast<char>(drive - L'A' + 'a'));
}

// Most names arrive in the letter case they have on disk: one look at the
// whole path settles them, and drive C: and its user folders, which exist
// when anything below them does, need no look of their own.
std::optional<HostLocation> LocateExactly(const WindowsPath& path) {
    std::string exact = ExactHostPath(path);
    struct stat info {};
    if (::stat(exact.c_str(), &info) != 0)
        return std::nullopt;
    HostLocation location;
    location.path = std::move(exact);
    location.found = location.parentFound = true;
    location.isDirectory = S_ISDIR(info.st_mode);
    location.status = info;
    return location;
}

}  // namespace

std::string ExactHostPath(const WindowsPath& path) {
    // Built as one string: a path appended name by name splits itself anew
    // at every name.
    std::string exact = DriveFolderPath(path.drive).native();
    for (const auto& name : path.components) {
        exact += '/';
        exact += EncodeUtf8(name).bytes;
    }
    return exact;
}

std::filesystem::path DriveFolder(wchar_t drive) {
    auto folder = DriveFolderPath(drive);
    if (drive == L'C') {
        std::error_code ignored;  // a failure shows as a missing folder below
        std::filesystem::create_directories(folder, ignored);
        EnsureUserFolders();
    }
    return folder;
}

HostLocation Locate(const WindowsPath& path) {
    if (!path.components.empty()) {
        if (auto exact = LocateExactly(path))
            return *std::move(exact);
    }
    // A miss walks the path name by name.
    HostLocation location;
    location.path = DriveFolder(path.drive);
    bool folderExists = IsDirectory(location.path);
    if (path.components.empty()) {
        location.found = location.isDirectory = folderExists;
        return location;
    }
    for (size_t i = 0; i < path.components.size(); ++i) {
        const auto& name = path.components[i];
        bool last = i + 1 == path.components.size();
        auto onDisk = folderExists ? FindEntry(location.path, name) : std::nullopt;
        location.path /= onDisk ? *onDisk : EncodeUtf8(name).bytes;
        if (last) {
            location.parentFound = folderExists;
            location.found = onDisk.has_value();
            location.isDirectory = onDisk && IsDirectory(location.path);
        } else {
            folderExists = onDisk && IsDirectory(location.path);
        }
    }
    return location;
}

DWORD NotFoundError(const HostLocation& location) {
    return location.parentFound ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD Win32ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case ENOSPC:
            return ERROR_DISK_FULL;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_GEN_FAILURE;
    }
}

}  // namespace platform::fs
