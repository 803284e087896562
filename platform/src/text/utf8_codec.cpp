#include "text/utf8_codec.h"

namespace platform::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

struct LeadByte {
    int trailCount;
    // The range the first trail byte must lie in; it excludes overlong
    // forms, surrogates and values above U+10FFFF.
    unsigned char firstMin;
    unsigned char firstMax;
};

// Trail count 0 marks a byte that cannot start a sequence.
LeadByte Classify(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {1, 0x80, 0xBF};
    }
    if (lead == 0xE0) {
        return {2, 0xA0, 0xBF};
    }
    if (lead == 0xED) {
        return {2, 0x80, 0x9F};
    }
    if (lead >= 0xE1 && lead <= 0xEF) {
        return {2, 0x80, 0xBF};
    }
    if (lead == 0xF0) {
        return {3, 0x90, 0xBF};
    }
    if (lead >= 0xF1 && lead <= 0xF3) {
        return {3, 0x80, 0xBF};
    }
    if (lead == 0xF4) {
        return {3, 0x80, 0x8F};
    }
    return {0, 0, 0};
}

struct Decoded {
    char32_t value;
    size_t used;
    bool valid;
};

// Decodes the sequence at the front of `bytes`. An invalid piece gives
// U+FFFD and consumes its maximal prefix that could still have been valid.
Decoded DecodeOne(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    LeadByte kind = Classify(lead);
    if (kind.trailCount == 0) {
        return {kReplacement, 1, false};
    }
    char32_t value = lead & (0x3F >> kind.trailCount);
    size_t used = 1;
    for (int i = 0; i < kind.trailCount; ++i, ++used) {
        if (used >= bytes.size()) {
            return {kReplacement, used, false};
        }
        const auto trail = static_cast<unsigned char>(bytes[used]);
        const unsigned char min = i == 0 ? kind.firstMin : 0x80;
        const unsigned char max = i == 0 ? kind.firstMax : 0xBF;
        if (trail < min || trail > max) {
            return {kReplacement, used, false};
        }
        value = (value << 6) | (trail & 0x3F);
    }
    return {value, used, true};
}

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

DecodeResult Utf8Codec::Decode(std::string_view bytes) const {
    DecodeResult result;
    result.text.reserve(bytes.size());
    while (!bytes.empty()) {
        const Decoded decoded = DecodeOne(bytes);
        result.hadInvalid |= !decoded.valid;
        result.text.push_back(decoded.value);
        bytes.remove_prefix(decoded.used);
    }
    return result;
}

EncodeResult Utf8Codec::Encode(std::u32string_view text, std::string_view) const {
    EncodeResult result;
    result.bytes.reserve(text.size());
    for (char32_t c : text) {
        if (!IsScalarValue(c)) {
            result.hadInvalid = true;
            c = kReplacement;
        }
        AppendUtf8(c, result.bytes);
    }
    return result;
}

}  // namespace platform::text
