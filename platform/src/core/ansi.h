// The narrow ("A") entry points take text in the ANSI code page and convert
// it to wide text for their wide twin.
#pragma once

#include <windef.h>

#include <optional>
#include <string>

namespace platform {

// The wide form of an ANSI string; nullopt when it is not valid in the ANSI
// code page. A null pointer gives an empty string.
std::optional<std::wstring> AnsiToWide(LPCSTR text);
std::optional<std::wstring> AnsiToWide(const char* text, size_t length);

// The ANSI form of wide text, with '?' for characters the code page lacks.
std::string WideToAnsi(const wchar_t* text, size_t length);

}  // namespace platform
