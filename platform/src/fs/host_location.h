// Where a Windows path lives on the host: "C:\" is <root>/drive_c, other
// drives <root>/drive_<letter>. Each name is looked up ignoring case, so an
// existing entry is found whatever case the caller spells it in; names that
// do not exist yet keep the caller's case.
#pragma once

#include "fs/windows_path.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>

namespace platform::fs {

struct HostLocation {
    std::filesystem::path path;  // the existing part in its on-disk case, the rest as given
    bool parentFound = false;    // every folder above the last name exists
    bool found = false;          // the last name exists
    bool isDirectory = false;    // ... and is a folder
    // The last name's status, when the lookup took it on the way: the
    // caller need not ask the disk again.
    std::optional<struct stat> status;
};

HostLocation Locate(const WindowsPath& path);

// Where the path lives if every name is spelt in its on-disk case: the first
// place to look, since most names are.
std::string ExactHostPath(const WindowsPath& path);

// The folder standing for a drive ("<root>/drive_c"); C: is created on demand.
std::filesystem::path DriveFolder(wchar_t drive);

// The Win32 error for a failed open of a path: the name's own absence is
// ERROR_FILE_NOT_FOUND, a missing folder on the way ERROR_PATH_NOT_FOUND.
DWORD NotFoundError(const HostLocation& location);

// The Win32 error closest to a host errno.
DWORD Win32ErrorFromErrno(int error);

}  // namespace platform::fs
