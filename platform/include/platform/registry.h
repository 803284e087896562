// Host-side control of the registry. Not a Windows API: only the simulator
// and tests call it.
//
// The registry lives in memory and in one ".reg" file per hive under the
// host root (see RegistryHiveFile). It is loaded on first use and saved after
// every change, unless the host switched saving off.
#pragma once

#include <windef.h>

#include <filesystem>
#include <string>
#include <vector>

namespace platform::host {

// One thing the last load could not read, or had to note.
struct RegistryDiagnostic {
    std::filesystem::path file;
    unsigned line = 0;  // 0: the file as a whole
    std::string message;

    // "file:line: message", as written to stderr.
    std::string ToString() const;
};

// Reads the hives again from the files under the current root (after the
// host switched the root, or changed the files). Handles opened before keep
// referring to the replaced keys and fail with ERROR_KEY_DELETED.
void ReloadRegistry();

// Writes every hive to its file now, changed or not, and flushes the files to
// the disk (a change alone is written so that the end of the process keeps
// it, not the loss of power).
void FlushRegistry();

// Off: changes stay in memory only, for the rest of this process or until
// saving is switched on again, when the next change (or FlushRegistry) writes
// them all. For a host that changes the registry millions of times and has no
// use for the files (a fuzzer): each save writes the whole hive.
void SetRegistrySaving(bool on);

// The file of the hive holding a predefined key: HKEY_CURRENT_USER, or
// HKEY_LOCAL_MACHINE (which also holds HKEY_CLASSES_ROOT). Empty for others.
std::filesystem::path RegistryHiveFile(HKEY predefinedKey);

// What the last load (first use or ReloadRegistry) skipped or noted.
std::vector<RegistryDiagnostic> RegistryLoadDiagnostics();

}  // namespace platform::host
