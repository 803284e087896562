// The modules the process has loaded, each counted by its loads. Every
// function here is called with the loader lock held.
#pragma once

#include "module/shared_object.h"

#include <windef.h>

#include <sys/types.h>

#include <compare>
#include <memory>
#include <string>
#include <string_view>

namespace platform::module {

class ModuleResources;

// A file as the host knows it, so that two spellings of one path (or two
// links to one file) are one module.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

struct LoadedModule {
    SharedObject object;
    std::wstring windowsPath;  // as GetModuleFileNameW reports it
    FileIdentity file;
    unsigned loadCount = 1;
    bool threadCallsDisabled = false;
    std::shared_ptr<const ModuleResources> resources;  // read when first asked for

    ~LoadedModule();
    HMODULE handle() const { return object.base; }
};

LoadedModule* FindModule(HMODULE handle);
LoadedModule* FindModule(const FileIdentity& file);
// A loaded module whose file name (without folder) is `baseName`, ignoring case.
LoadedModule* FindModuleByBaseName(std::wstring_view baseName);

LoadedModule& AddModule(std::unique_ptr<LoadedModule> module);
// Drops the module from the table and returns it to the caller, who unmaps it.
std::unique_ptr<LoadedModule> TakeModule(HMODULE handle);

// The file name part of a Windows path.
std::wstring_view BaseName(std::wstring_view windowsPath);

}  // namespace platform::module
