// The Windows file names of loaded modules, as GetModuleFileNameW reports
// them. The module loader registers each module it maps and unregisters it
// when the module is freed.
#pragma once

#include <windef.h>

#include <optional>
#include <string>

namespace platform::fs {

void RegisterModuleFileName(HMODULE module, std::wstring windowsPath);
void UnregisterModuleFileName(HMODULE module);

// The module's Windows path; for a null module the process image.
std::optional<std::wstring> ModuleFileName(HMODULE module);

}  // namespace platform::fs
