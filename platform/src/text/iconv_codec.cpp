#include "text/iconv_codec.h"

#include <cstring>

namespace platform::text {

std::u32string FromUtf32Bytes(const std::string& utf32) {
    std::u32string text(utf32.size() / sizeof(char32_t), U'\0');
    std::memcpy(text.data(), utf32.data(), text.size() * sizeof(char32_t));
    return text;
}

std::string_view AsUtf32Bytes(std::u32string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char32_t)};
}

IconvCodec::IconvCodec(const CodePageInfo& info) : m_info(info), m_pin(info.iconvName) {}

DecodeResult IconvCodec::Decode(std::string_view bytes) const {
    IconvHandle converter(Utf32Name(), m_info.iconvName);
    DecodeResult result;
    std::string utf32;
    const std::u32string replacement(1, m_info.unicodeDefault);
    while (!bytes.empty()) {
        IconvHandle::Status status = converter.Convert(bytes, utf32);
        if (status == IconvHandle::Status::Done) {
            break;
        }
        // An invalid byte is replaced and skipped; an incomplete sequence
        // at the end is replaced as a whole.
        result.hadInvalid = true;
        utf32.append(AsUtf32Bytes(replacement));
        bytes.remove_prefix(status == IconvHandle::Status::Invalid ? 1 : bytes.size());
    }
    converter.Flush(utf32);
    result.text = FromUtf32Bytes(utf32);
    return result;
}

EncodeResult IconvCodec::Encode(std::u32string_view text, std::string_view defaultChar) const {
    IconvHandle converter(m_info.iconvName, Utf32Name());
    EncodeResult result;
    std::string_view in = AsUtf32Bytes(text);
    static constexpr char32_t kQuestionMark[] = U"?";
    while (!in.empty()) {
        if (converter.Convert(in, result.bytes) == IconvHandle::Status::Done) {
            break;
        }
        char32_t unmappable;
        std::memcpy(&unmappable, in.data(), sizeof unmappable);
        result.hadInvalid |= !IsScalarValue(unmappable);
        result.usedDefault = true;
        in.remove_prefix(sizeof(char32_t));
        if (stateful()) {
            std::string_view question = AsUtf32Bytes({kQuestionMark, 1});
            converter.Convert(question, result.bytes);
        } else {
            result.bytes.append(defaultChar);
        }
    }
    converter.Flush(result.bytes);
    return result;
}

}  // namespace platform::text
