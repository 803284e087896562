// Finding the file of a module by the name a caller gives LoadLibraryW.
#pragma once

#include "module/module_table.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform::module {

struct ModuleFile {
    std::filesystem::path hostPath;
    std::wstring windowsPath;  // full, in the case the files have on disk
    FileIdentity file;
};

// Whether the name says where the file is (a folder or a drive) rather than
// being a bare name for the search order.
bool NamesFolder(std::wstring_view name);

// The name with ".dll" added when its file name has no extension; a trailing
// dot says "no extension" and is dropped.
std::wstring WithDefaultExtension(std::wstring_view name);

// The module file at a Windows path (relative to the current directory C:\).
std::optional<ModuleFile> LocateModuleFile(std::wstring_view windowsPath);

// A bare file name looked for in Windows' standard order, as far as this world
// has its places: the process image's folder, the system folder, the Windows
// folder, the current directory.
std::optional<ModuleFile> SearchModuleFile(std::wstring_view fileName);

}  // namespace platform::module
