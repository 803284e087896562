// Replacing a file so that a crash at any moment leaves either the old or the
// new contents under its name, never a mixture.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform::registry {

// The temporary file a save of `target` by this process writes first.
std::filesystem::path TemporaryFileFor(const std::filesystem::path& target);

// Writes the contents to the temporary file, flushes it to the disk, renames
// it over `target` and flushes the folder. Creates missing folders. Returns
// an empty string on success, else what failed.
std::string ReplaceFileAtomically(const std::filesystem::path& target, std::string_view contents);

}  // namespace platform::registry
