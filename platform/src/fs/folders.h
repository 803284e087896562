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

}  // namespace platform::fs
