// UTF-8, the one conversion the whole platform uses: for host file names,
// for ".reg" files and for code page 65001. It converts as Windows does, and
// says whether the input was clean, so that a strict caller can refuse what
// a lenient one accepts with U+FFFD in place of the bad parts.
//
// Wide text holds whole code points (wchar_t is 32 bits here), so wide and
// char32_t text convert alike.
#pragma once

#include <string>
#include <string_view>

namespace platform {

struct Utf8Encoded {
    std::string bytes;
    // False when some value was no Unicode scalar value (a lone surrogate, or
    // beyond U+10FFFF); U+FFFD was written in its place.
    bool valid = true;
};

// UTF-8 of the text; values that are no Unicode scalar value become U+FFFD.
Utf8Encoded EncodeUtf8(std::wstring_view text);
Utf8Encoded EncodeUtf8(std::u32string_view text);

template <typename Char>
struct Utf8Decoded {
    std::basic_string<Char> text;
    // False when some bytes were not UTF-8; each maximal piece of them that
    // could have begun a valid sequence became one U+FFFD. Overlong forms,
    // encoded surrogates and values beyond U+10FFFF are not UTF-8.
    bool valid = true;
};

// The text of UTF-8 bytes; `Char` is wchar_t or char32_t.
template <typename Char>
Utf8Decoded<Char> DecodeUtf8(std::string_view bytes);

extern template Utf8Decoded<wchar_t> DecodeUtf8(std::string_view bytes);
extern template Utf8Decoded<char32_t> DecodeUtf8(std::string_view bytes);

}  // namespace platform
