// A codec turns the bytes of one code page into Unicode scalar values and
// back. Codecs are immutable once built and may be shared between threads.
#pragma once

#include <string>
#include <string_view>

namespace platform::text {

struct DecodeResult {
    std::u32string text;
    // Some input bytes were not a valid sequence of the code page; each such
    // piece was replaced by the code page's Unicode default character.
    bool hadInvalid = false;
};

struct EncodeResult {
    std::string bytes;
    // A character had no mapping and the default character stood in for it.
    bool usedDefault = false;
    // A value that is not a Unicode scalar (a lone surrogate, or beyond
    // U+10FFFF) was met.
    bool hadInvalid = false;
};

class Codec {
  public:
    virtual ~Codec() = default;
    virtual DecodeResult Decode(std::string_view bytes) const = 0;
    // `defaultChar` holds the bytes written for an unmappable character.
    virtual EncodeResult Encode(std::u32string_view text, std::string_view defaultChar) const = 0;
};

inline bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}
inline bool IsScalarValue(char32_t c) {
    return c <= 0x10FFFF && !IsSurrogate(c);
}

}  // namespace platform::text
