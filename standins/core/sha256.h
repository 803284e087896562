// SHA-256 (FIPS 180-4) of a byte string.
#pragma once

#include <string>
#include <string_view>

namespace standins::core {

// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view data);

}  // namespace standins::core
