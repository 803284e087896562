// Host-side control of the Windows file system as the platform shows it.
// Not Windows APIs: only the simulator and tests call these.
//
// Windows paths live under platform::host::Root(): "C:\" is <root>/drive_c,
// another drive X: is <root>/drive_x. Names are matched ignoring case.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform::host {

// The host path of a Windows path ("C:\Program Files\x" -> <root>/drive_c/
// Program Files/x). Existing entries are found in any case and given in
// their on-disk case; names not yet there keep the case given. Throws
// std::invalid_argument for a name Windows would not accept.
std::filesystem::path HostPathFromWindows(std::wstring_view windowsPath);

// The Windows path of a host path under the root ("<root>/drive_c/a" ->
// "C:\a"). Throws std::invalid_argument for a path outside the drives.
std::wstring WindowsPathFromHost(const std::filesystem::path& hostPath);

// The name of the signed-in user; the per-user folders are under
// C:\Users\<name>. Default "User".
void SetUserName(std::wstring name);
std::wstring UserName();

// The Windows path of the process image, what GetModuleFileNameW(NULL, ...)
// gives. Default "C:\Program Files\Microsoft Office\Office12\OUTLOOK.EXE".
void SetProcessImagePath(std::wstring windowsPath);
std::wstring ProcessImagePath();

}  // namespace platform::host
