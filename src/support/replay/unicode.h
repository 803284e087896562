// Conversion between wide text and the narrow text of a Windows code page.
// Every failure is reported by one of the unicode exceptions, never by a
// partial result. Code page -1 is the identity mapping of the first 256
// characters onto bytes.
#pragma once

#include <string>

namespace replay::unicode {

constexpr int identity_codepage = -1;

// Throws unmappable_character when a character has no byte in the code page
// (or a substitute would have to be written), invalid_codepage for an
// unknown code page, out_of_memory and generic for the rest.
std::string to_narrow(const std::wstring& text, int codepage);

// Throws unmappable_character for bytes that are not valid in the code page,
// invalid_codepage for an unknown code page, out_of_memory and generic.
std::wstring to_wide(const std::string& text, int codepage);

// True when the text survives a conversion to the code page and back
// unchanged. An unknown code page or an unmappable character gives false;
// out_of_memory and generic still reach the caller.
bool can_round_trip(const std::wstring& text, int codepage);

}  // namespace replay::unicode
