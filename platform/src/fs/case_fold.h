// Case-insensitive comparison of file names. Windows compares names through
// the file system's upper-case table; this covers ASCII, Latin-1, Latin
// Extended-A, basic Greek and Cyrillic, which is every name this system meets.
#pragma once

#include <string_view>

namespace platform::fs {

wchar_t UpperCaseForNames(wchar_t c);
bool NamesEqualIgnoringCase(std::wstring_view a, std::wstring_view b);

}  // namespace platform::fs
