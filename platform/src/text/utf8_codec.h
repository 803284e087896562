// UTF-8 as Windows converts it: each maximal invalid piece of input becomes
// one U+FFFD, and encoded surrogates and overlong forms are invalid.
#pragma once

#include "text/codec.h"

namespace platform::text {

class Utf8Codec : public Codec {
  public:
    DecodeResult Decode(std::string_view bytes) const override;
    // UTF-8 maps every scalar value; values that are not scalars become
    // U+FFFD, so `defaultChar` is never used.
    EncodeResult Encode(std::u32string_view text, std::string_view defaultChar) const override;
};

}  // namespace platform::text
