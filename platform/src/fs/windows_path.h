// Windows path names as the file functions take them: parsed into a drive and
// its folder names, with "." and ".." resolved and both separators accepted.
// A relative name resolves against the current directory, which is always
// C:\ (nothing here changes it); "D:name" resolves against the root of D:.
#pragma once

#include <windef.h>
#include <winerror.h>

#include <string>
#include <string_view>
#include <vector>

namespace platform::fs {

struct WindowsPath {
    wchar_t drive = L'C';                  // upper case
    std::vector<std::wstring> components;  // names below the drive's root, in the caller's case
    bool trailingSeparator = false;        // the name ended in "\" or "/"

    std::wstring ToString() const;  // "C:\a\b", or "C:\" for the root
};

struct ParsedPath {
    WindowsPath path;
    DWORD error = 0;       // 0, or the Win32 error for an unusable name
    bool tooLong = false;  // the full path is longer than the caller allows
};

// Longest full path (in characters, without the terminating null) that the
// functions accept in the ordinary, non-"\\?\" form.
inline constexpr size_t kMaxPathChars = MAX_PATH - 1;
// Folders must leave room for an 8.3 file name inside them.
inline constexpr size_t kMaxFolderPathChars = MAX_PATH - 12 - 1;

ParsedPath ParseWindowsPath(const wchar_t* name, size_t maxChars = kMaxPathChars);

// Parses a caller's name for an API function: false, with the last error set,
// for an unusable name. Windows reports an over-long name as a path it cannot
// find, except where a function says otherwise (`tooLongError`).
bool ParseCallerPath(const wchar_t* name, WindowsPath& path, size_t maxChars = kMaxPathChars,
                     DWORD tooLongError = ERROR_PATH_NOT_FOUND);

}  // namespace platform::fs
