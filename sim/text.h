// UTF-8 (scenario files, the console) to and from the wide text of the
// Windows side.
#pragma once

#include <string>
#include <string_view>

namespace olsim {

std::wstring Widen(std::string_view utf8);
// Always UTF-8: what is not a Unicode character becomes U+FFFD.
std::string Narrow(std::wstring_view wide);

// Bytes as base64 (RFC 4648), padded, in one line.
std::string Base64(std::string_view bytes);

// Equal but for letter case, as Windows compares names.
bool SameName(std::wstring_view a, std::wstring_view b);

}  // namespace olsim
