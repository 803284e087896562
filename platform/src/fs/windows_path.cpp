#include "fs/windows_path.h"

#include <errhandlingapi.h>
#include <winerror.h>

namespace platform::fs {
namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr size_t kMaxLongPathChars = 32767;
constexpr size_t kMaxComponentChars = 255;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

wchar_t UpperDrive(wchar_t c) {
    return c >= L'a' ? c - (L'a' - L'A') : c;
}

bool IsValidComponent(std::wstring_view name) {
    if (name.size() > kMaxComponentChars)
        return false;
    for (wchar_t c : name) {
        if (c < 0x20 || std::wstring_view(L"<>:\"|?*").find(c) != std::wstring_view::npos)
            return false;
    }
    return true;
}

// Windows drops trailing dots and blanks from the last name ("log.txt. " is
// "log.txt"), unless the path ends in a separator.
void TrimLastComponent(std::wstring& name) {
    if (name == L"." || name == L"..")
        return;
    size_t end = name.find_last_not_of(L". ");
    name.erase(end == std::wstring::npos ? 0 : end + 1);
}

std::vector<std::wstring> SplitComponents(std::wstring_view rest, bool separatorsBoth) {
    std::vector<std::wstring> parts;
    std::wstring current;
    for (wchar_t c : rest) {
        if (c == L'\\' || (separatorsBoth && c == L'/')) {
            if (!current.empty())
                parts.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(std::move(current));
    return parts;
}

DWORD ResolveDots(std::vector<std::wstring>& parts, std::vector<std::wstring>& resolved) {
    for (auto& part : parts) {
        if (part == L".")
            continue;
        if (part == L"..") {
            if (!resolved.empty())
                resolved.pop_back();  // ".." at the root stays at the root
            continue;
        }
        if (!IsValidComponent(part))
            return ERROR_INVALID_NAME;
        resolved.push_back(std::move(part));
    }
    return 0;
}

// The "\\?\C:\..." form: no normalisation, backslashes only, long names allowed.
ParsedPath ParseLongForm(std::wstring_view rest) {
    ParsedPath parsed;
    if (rest.size() < 3 || !IsDriveLetter(rest[0]) || rest[1] != L':' || rest[2] != L'\\') {
        parsed.error = ERROR_PATH_NOT_FOUND;  // device and UNC names are not served here
        return parsed;
    }
    parsed.path.drive = UpperDrive(rest[0]);
    parsed.path.trailingSeparator = rest.size() > 3 && rest.back() == L'\\';
    for (auto& part : SplitComponents(rest.substr(3), false)) {
        if (part == L"." || part == L".." || !IsValidComponent(part)) {
            parsed.error = ERROR_INVALID_NAME;
            return parsed;
        }
        parsed.path.components.push_back(std::move(part));
    }
    parsed.tooLong = parsed.path.ToString().size() > kMaxLongPathChars;
    return parsed;
}

}  // namespace

std::wstring WindowsPath::ToString() const {
    std::wstring text{drive, L':', L'\\'};
    for (size_t i = 0; i < components.size(); ++i) {
        if (i > 0)
            text += L'\\';
        text += components[i];
    }
    return text;
}

ParsedPath ParseWindowsPath(const wchar_t* name, size_t maxChars) {
    ParsedPath parsed;
    std::wstring_view text = name ? std::wstring_view(name) : std::wstring_view();
    if (text.empty()) {
        parsed.error = ERROR_PATH_NOT_FOUND;
        return parsed;
    }
    if (text.starts_with(kLongPrefix))
        return ParseLongForm(text.substr(kLongPrefix.size()));
    if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
        parsed.error = ERROR_BAD_NETPATH;  // there is no network here
        return parsed;
    }
    std::wstring_view rest = text;
    if (text.size() >= 2 && IsDriveLetter(text[0]) && text[1] == L':') {
        parsed.path.drive = UpperDrive(text[0]);
        rest = text.substr(2);  // "D:name" is relative to D:'s current directory, its root
    }
    parsed.path.trailingSeparator = !rest.empty() && IsSeparator(rest.back());
    auto parts = SplitComponents(rest, true);
    if (!parsed.path.trailingSeparator && !parts.empty()) {
        TrimLastComponent(parts.back());
        if (parts.back().empty())
            parts.pop_back();
    }
    parsed.error = ResolveDots(parts, parsed.path.components);
    parsed.tooLong = parsed.error == 0 && parsed.path.ToString().size() > maxChars;
    return parsed;
}

bool ParseCallerPath(const wchar_t* name, WindowsPath& path, size_t maxChars, DWORD tooLongError) {
    auto parsed = ParseWindowsPath(name, maxChars);
    DWORD error = parsed.tooLong ? tooLongError : parsed.error;
    if (error) {
        SetLastError(error);
        return false;
    }
    path = std::move(parsed.path);
    return true;
}

}  // namespace platform::fs
