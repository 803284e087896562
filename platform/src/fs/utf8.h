// Conversion between the wide names of the Windows side and the UTF-8 names
// of the host's file system. wchar_t holds whole code points here, so each
// value converts on its own; values that are no code point become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace platform::fs {

std::string ToUtf8(std::wstring_view wide);
std::wstring FromUtf8(std::string_view utf8);

}  // namespace platform::fs
