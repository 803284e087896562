// What the targets that run the add-in's code need of the platform: a root of
// the process's own (see own_folder.h); a registry that keeps its changes in
// memory; and the trace log's folder, so that the log is really written, with
// the file cut back now and then.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "own_folder.h"
#include "platform/filesystem.h"
#include "platform/registry.h"
#include "platform/root.h"

namespace fuzz {

// Makes an own folder the root of the Windows file system and the registry,
// whose changes then stay in memory.
inline void UseOwnRoot(const std::string& name) {
    platform::host::SetRoot(OwnFolder(name));
    platform::host::SetRegistrySaving(false);
}

// Leaves the user without an application-data folder (a file stands where it
// would be made), so that the trace log has no place: a line then costs only
// the read of the log's switch, where each would open and close the file. For
// the targets whose matter is not the log, whose lines (four and more an
// input) would otherwise take most of their time. Before any file access.
inline void WithoutApplicationData() {
    const std::filesystem::path user = platform::host::Root() / "drive_c" / "Users" /
                                       std::filesystem::path(platform::host::UserName());
    std::filesystem::create_directories(user / "AppData");
    std::ofstream(user / "AppData" / "Roaming") << "not a folder";
}

// The trace log's folder under the root's application data, made; the log
// file's host path.
inline std::filesystem::path MakeLogFolder() {
    wchar_t appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, appData)))
        std::abort();
    const std::wstring logs = std::wstring(appData) + L"\\Brevint\\Logs";
    const std::filesystem::path folder = platform::host::HostPathFromWindows(logs);
    std::filesystem::create_directories(folder);
    return folder / "OLClient.log";
}

// Empties the log once it passed a few megabytes: millions of inputs would
// otherwise fill the disk (or the memory) with it.
inline void KeepLogSmall(const std::filesystem::path& log) {
    constexpr std::uintmax_t kLargest = 4 << 20;
    std::error_code error;
    if (std::filesystem::file_size(log, error) > kLargest && !error)
        std::filesystem::resize_file(log, 0, error);
}

}  // namespace fuzz
