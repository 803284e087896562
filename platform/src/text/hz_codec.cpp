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
        : converter_(Utf32Name(), gb2312), in_(bytes) {}

    DecodeResult Run() {
        while (!in_.empty()) {
            if (in_[0] == '~' && in_.size() >= 2 && Escape(in_[1])) {
                in_.remove_prefix(2);
            } else if (inGb_) {
                GbPair();
            } else {
                const auto byte = static_cast<unsigned char>(in_[0]);
                Emit(byte < 0x80 ? byte : Invalid());
                in_.remove_prefix(1);
            }
        }
        return std::move(result_);
    }

  private:
    // Handles "~" and the byte after it; false when they are no escape.
    bool Escape(char next) {
        if (next == '{' || next == '}') {
            inGb_ = next == '{';
        } else if (next == '~' && !inGb_) {
            Emit(U'~');
        } else if (next != '\n' || inGb_) {
            return false;
        }
        return true;
    }

    void GbPair() {
        if (in_.size() < 2 || !IsGbHalf(in_[0]) || !IsGbHalf(in_[1])) {
            Emit(Invalid());
            in_.remove_prefix(1);
            return;
        }
        const char pair[2] = {static_cast<char>(in_[0] | 0x80), static_cast<char>(in_[1] | 0x80)};
        std::string_view gb(pair, 2);
        std::string utf32;
        const bool converted = converter_.Convert(gb, utf32) == IconvHandle::Status::Done;
        std::u32string decoded = FromUtf32Bytes(utf32);
        Emit(converted && decoded.size() == 1 ? decoded[0] : Invalid());
        in_.remove_prefix(2);
    }

    char32_t Invalid() {
        result_.hadInvalid = true;
        return kReplacement;
    }

    void Emit(char32_t c) { result_.text.push_back(c); }

    IconvHandle converter_;
    std::string_view in_;
    bool inGb_ = false;
    DecodeResult result_;
};

}  // namespace

DecodeResult HzCodec::Decode(std::string_view bytes) const {
    return HzDecoder(gb2312_, bytes).Run();
}

EncodeResult HzCodec::Encode(std::u32string_view text, std::string_view defaultChar) const {
    IconvHandle converter(gb2312_, Utf32Name());
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
