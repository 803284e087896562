#include "text/single_byte_codec.h"

#include "text/iconv_codec.h"
#include "text/iconv_handle.h"

namespace platform::text {

std::unique_ptr<SingleByteCodec> SingleByteCodec::FromIconv(const CodePageInfo& info) {
    std::array<char32_t, 256> table;
    IconvHandle converter(Utf32Name(), info.iconvName);
    for (unsigned byte = 0; byte < table.size(); ++byte) {
        const char input = static_cast<char>(byte);
        std::string_view in(&input, 1);
        std::string utf32;
        bool converted =
            converter.valid() && converter.Convert(in, utf32) == IconvHandle::Status::Done;
        // Flushing also returns the converter to its initial state; pages
        // that combine accents (1255, 1258) release the held character here.
        converter.Flush(utf32);
        std::u32string decoded = FromUtf32Bytes(utf32);
        if (converted && decoded.size() == 1) {
            table[byte] = decoded[0];
        } else if (info.c1ForUndefined && byte >= 0x80 && byte <= 0x9F) {
            table[byte] = byte;
        } else {
            table[byte] = kUndefined;
        }
    }
    return std::unique_ptr<SingleByteCodec>(new SingleByteCodec(table, info.unicodeDefault));
}

std::unique_ptr<SingleByteCodec> SingleByteCodec::Symbol() {
    constexpr char32_t kSymbolFontBase = 0xF000;
    std::array<char32_t, 256> table;
    for (unsigned byte = 0; byte < table.size(); ++byte) {
        table[byte] = byte < 0x20 ? byte : kSymbolFontBase + byte;
    }
    return std::unique_ptr<SingleByteCodec>(new SingleByteCodec(table, U'?'));
}

SingleByteCodec::SingleByteCodec(const std::array<char32_t, 256>& table, char32_t unicodeDefault)
    : m_toUnicode(table), m_unicodeDefault(unicodeDefault) {
    for (unsigned byte = 0; byte < table.size(); ++byte) {
        if (table[byte] != kUndefined) {
            m_fromUnicode.emplace(table[byte], static_cast<unsigned char>(byte));
        }
    }
}

DecodeResult SingleByteCodec::Decode(std::string_view bytes) const {
    DecodeResult result;
    result.text.reserve(bytes.size());
    for (char byte : bytes) {
        char32_t c = m_toUnicode[static_cast<unsigned char>(byte)];
        if (c == kUndefined) {
            result.hadInvalid = true;
            c = m_unicodeDefault;
        }
        result.text.push_back(c);
    }
    return result;
}

EncodeResult SingleByteCodec::Encode(std::u32string_view text, std::string_view defaultChar) const {
    EncodeResult result;
    result.bytes.reserve(text.size());
    for (char32_t c : text) {
        auto found = m_fromUnicode.find(c);
        if (found != m_fromUnicode.end()) {
            result.bytes.push_back(static_cast<char>(found->second));
            continue;
        }
        result.usedDefault = true;
        result.hadInvalid |= !IsScalarValue(c);
        result.bytes.append(defaultChar);
    }
    return result;
}

}  // namespace platform::text
