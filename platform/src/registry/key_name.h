// Names of registry keys and values: compared without regard to case (as
// Windows does, by upper-casing), kept with the case they were created with.
#pragma once

#include <windef.h>

#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

// Longest name of one key (one path component) and of a value, in characters.
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxValueNameLength = 16383;

// The form two names are compared in: every character upper-cased.
std::wstring FoldName(std::wstring_view name);

// Splits "a\b\c" into its components. A single trailing backslash is
// accepted, as Windows accepts it. Returns the Win32 error for a path that
// starts with a backslash, has an empty component or a component longer than
// a key name may be; ERROR_SUCCESS otherwise. NULL and "" give no components.
LSTATUS SplitKeyPath(const wchar_t* path, std::vector<std::wstring>& components);

}  // namespace platform::registry
