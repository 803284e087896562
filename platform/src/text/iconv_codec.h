// Multi-byte and stateful code pages converted through glibc's iconv.
#pragma once

#include "text/code_page_table.h"
#include "text/codec.h"
#include "text/iconv_handle.h"

namespace platform::text {

class IconvCodec : public Codec {
  public:
    explicit IconvCodec(const CodePageInfo& info);
    DecodeResult Decode(std::string_view bytes) const override;
    EncodeResult Encode(std::u32string_view text, std::string_view defaultChar) const override;

  private:
    // A stateful page (ISO-2022, UTF-7) must write the default character
    // through the converter so that the shift state stays right.
    bool stateful() const { return m_info.flags == FlagRule::None; }

    const CodePageInfo& m_info;
    IconvModulePin m_pin;
};

// The code points held in `utf32`, bytes of char32_t in host order.
std::u32string FromUtf32Bytes(const std::string& utf32);
std::string_view AsUtf32Bytes(std::u32string_view text);

}  // namespace platform::text
