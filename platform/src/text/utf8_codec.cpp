#include "text/utf8_codec.h"

#include "core/utf8.h"

namespace platform::text {

DecodeResult Utf8Codec::Decode(std::string_view bytes) const {
    Utf8Decoded<char32_t> decoded = DecodeUtf8<char32_t>(bytes);
    return {.text = std::move(decoded.text), .hadInvalid = !decoded.valid};
}

EncodeResult Utf8Codec::Encode(std::u32string_view text, std::string_view) const {
    Utf8Encoded encoded = EncodeUtf8(text);
    return {.bytes = std::move(encoded.bytes), .hadInvalid = !encoded.valid};
}

}  // namespace platform::text
