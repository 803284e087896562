// Conversions between the narrow text of MAPI and RFC 822 and wide strings.
#pragma once

#include <string>
#include <string_view>

namespace mailstore::text {

// Through the platform's code pages; an unknown or failing page falls back
// to Latin-1, byte for character, so no text is ever lost.
std::wstring ToWide(std::string_view bytes, unsigned codePage);
std::string ToNarrow(std::wstring_view text, unsigned codePage);
// ASCII letters lower-cased; other bytes kept.
std::string Lower(std::string_view text);
// Without leading and trailing blanks, tabs and line ends.
std::string_view Trim(std::string_view text);

// The ANSI code page of the process (CP_ACP).
inline constexpr unsigned kAnsi = 0;

}  // namespace mailstore::text
