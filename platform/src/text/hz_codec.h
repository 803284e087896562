// HZ-GB-2312: ASCII text in which "~{" starts and "~}" ends a run of GB2312
// characters written as byte pairs with the high bits cleared; "~~" is a
// tilde and "~" before a line break joins the lines. The GB2312 pairs are
// converted through iconv's EUC-CN.
#pragma once

#include "text/codec.h"
#include "text/iconv_handle.h"

namespace platform::text {

class HzCodec : public Codec {
  public:
    explicit HzCodec(const char* gb2312IconvName)
        : m_gb2312(gb2312IconvName), m_pin(gb2312IconvName) {}
    DecodeResult Decode(std::string_view bytes) const override;
    EncodeResult Encode(std::u32string_view text, std::string_view defaultChar) const override;

  private:
    const char* m_gb2312;
    IconvModulePin m_pin;
};

}  // namespace platform::text
