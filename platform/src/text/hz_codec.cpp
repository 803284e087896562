#include "text/hz_codec.h"

#include "text/iconv_codec.h"
#include "text/iconv_handle.h"

namespace platform::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsGbHalf(unsigned char byte) {
    return byte >= 0x21 && byte <= 0x7E;
}

class HzDecoder {
  public:
    HzDecoder(const char* gb2312, std::string_view bytes)
        : m_converter(Utf32Name(), gb2312), m_in(bytes) {}

    DecodeResult Run() {
        while (!m_in.empty()) {
            if (m_in[0] == '~' && m_in.size() >= 2 && Escape(m_in[1])) {
                m_in.remove_prefix(2);
            } else if (m_inGb) {
                GbPair();
            } else {
                const auto byte = static_cast<unsigned char>(m_in[0]);
                Emit(byte < 0x80 ? byte : Invalid());
                m_in.remove_prefix(1);
            }
        }
        return std::move(m_result);
    }

  private:
    // Handles "~" and the byte after it; false when they are no escape.
    bool Escape(char next) {
        if (next == '{' || next == '}') {
            m_inGb = next == '{';
        } else if (next == '~' && !m_inGb) {
            Emit(U'~');
        } else if (next != '\n' || m_inGb) {
            return false;
        }
        return true;
    }

    void GbPair() {
        if (m_in.size() < 2 || !IsGbHalf(m_in[0]) || !IsGbHalf(m_in[1])) {
            Emit(Invalid());
            m_in.remove_prefix(1);
            return;
        }
        const char pair[2] = {static_cast<char>(m_in[0] | 0x80), static_cast<char>(m_in[1] | 0x80)};
        std::string_view gb(pair, 2);
        std::string utf32;
        const bool converted = m_converter.Convert(gb, utf32) == IconvHandle::Status::Done;
        std::u32string decoded = FromUtf32Bytes(utf32);
        Emit(converted && decoded.size() == 1 ? decoded[0] : Invalid());
        m_in.remove_prefix(2);
    }

    char32_t Invalid() {
        m_result.hadInvalid = true;
        return kReplacement;
    }

    void Emit(char32_t c) { m_result.text.push_back(c); }

    IconvHandle m_converter;
    std::string_view m_in;
    bool m_inGb = false;
    DecodeResult m_result;
};

}  // namespace

DecodeResult HzCodec::Decode(std::string_view bytes) const {
    return HzDecoder(m_gb2312, bytes).Run();
}

EncodeResult HzCodec::Encode(std::u32string_view text, std::string_view defaultChar) const {
    IconvHandle converter(m_gb2312, Utf32Name());
    EncodeResult result;
    bool inGb = false;
    auto switchTo = [&](bool gb) {
        if (inGb != gb) {
            result.bytes += gb ? "~{" : "~}";
            inGb = gb;
        }
    };
    for (char32_t c : text) {
        std::string gb;
        std::string_view in = AsUtf32Bytes({&c, 1});
        if (c >= 0x80 && converter.Convert(in, gb) == IconvHandle::Status::Done && gb.size() == 2) {
            switchTo(true);
            result.bytes.push_back(static_cast<char>(gb[0] & 0x7F));
            result.bytes.push_back(static_cast<char>(gb[1] & 0x7F));
            continue;
        }
        switchTo(false);
        if (c == U'~') {
            result.bytes += "~~";
        } else if (c < 0x80) {
            result.bytes.push_back(static_cast<char>(c));
        } else {
            result.usedDefault = true;
            result.hadInvalid |= !IsScalarValue(c);
            result.bytes.append(defaultChar);
        }
    }
    switchTo(false);
    return result;
}

}  // namespace platform::text
