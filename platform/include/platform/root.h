// Host-side control of the folder that stands for the Windows file system.
// Not a Windows API: only the simulator and tests call it.
//
// The root is named by the environment variable OLSIM_ROOT; without it, the
// folder "olsim-root" in the current directory. A host may set it explicitly
// before the first file or registry access.
#pragma once

#include <filesystem>

namespace platform::host {

std::filesystem::path Root();
void SetRoot(const std::filesystem::path& root);

}  // namespace platform::host
