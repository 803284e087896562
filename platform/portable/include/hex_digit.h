// The value of one hexadecimal digit, for the readers of hexadecimal text
// (identifiers, registry data, entry identifiers, encoded mail).
#pragma once

namespace platform {

// 0 to 15 for a digit of either case, -1 for any other character.
template <class Char>
constexpr int HexDigitValue(Char c) {
    if (c >= Char('0') && c <= Char('9'))
        return static_cast<int>(c - Char('0'));
    if (c >= Char('a') && c <= Char('f'))
        return static_cast<int>(c - Char('a')) + 10;
    if (c >= Char('A') && c <= Char('F'))
        return static_cast<int>(c - Char('A')) + 10;
    return -1;
}

}  // namespace platform
