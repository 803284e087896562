// Replacing a file so that a crash at any moment leaves either the old or the
// new contents under its name, never a mixture.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform::registry {

// The temporary file a save of `target` by this process writes first.
std::filesystem::path TemporaryFileFor(const std::filesystem::path& target);

// What the replacement must survive. A process that ends at any moment
// leaves the old or the new file once the rename is made; surviving the
// machine's loss of power takes the file and its folder flushed to the disk
// as well, some milliseconds more.
enum class Durability { ProcessEnd, PowerLoss };

// Writes the contents to the temporary file and renames it over `target`,
// flushing the file before the rename and the folder after it for
// PowerLoss. Creates missing folders. Returns an empty string on success,
// else what failed.
std::string ReplaceFileAtomically(const std::filesystem::path& target, std::string_view contents,
                                  Durability durability);

}  // namespace platform::registry
