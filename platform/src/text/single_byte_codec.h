// Single-byte code pages: one table of 256 code points and its inverse.
#pragma once

#include "text/code_page_table.h"
#include "text/codec.h"

#include <array>
#include <memory>
#include <unordered_map>

namespace platform::text {

class SingleByteCodec : public Codec {
  public:
    // The page's table as iconv reads each byte.
    static std::unique_ptr<SingleByteCodec> FromIconv(const CodePageInfo& info);
    // Code page 42: the control bytes stay, the others map onto U+F020-U+F0FF
    // where symbol fonts keep their glyphs.
    static std::unique_ptr<SingleByteCodec> Symbol();

    DecodeResult Decode(std::string_view bytes) const override;
    EncodeResult Encode(std::u32string_view text, std::string_view defaultChar) const override;

  private:
    static constexpr char32_t kUndefined = 0xFFFFFFFF;

    SingleByteCodec(const std::array<char32_t, 256>& table, char32_t unicodeDefault);

    std::array<char32_t, 256> m_toUnicode;
    std::unordered_map<char32_t, unsigned char> m_fromUnicode;
    char32_t m_unicodeDefault;
};

}  // namespace platform::text
