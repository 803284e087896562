// Folder operations shared by the file functions and the shell's special
// folders. Each returns 0 or the Win32 error.
#pragma once

#include "fs/windows_path.h"

namespace platform::fs {

DWORD CreateFolder(const WindowsPath& path);
// Creates the folder and any missing folder above it.
DWORD CreateFolderTree(const WindowsPath& path);
DWORD RemoveFolder(const WindowsPath& path);
DWORD AttributesOf(const WindowsPath& path, DWORD& attributes);

// Lays down the folders a newly set-up Windows user has (every special folder
// of the shell), where missing, once for each root and user name: a fresh
// root looks like a fresh Windows machine. Drive C: calls it on each use.
void EnsureUserFolders();

}  // namespace platform::fs
