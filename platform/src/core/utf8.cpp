#include "core/utf8.h"

namespace platform {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char32_t), "wide text holds whole code points");

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalarValue(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
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

template <typename Char>
Utf8Encoded Encode(std::basic_string_view<Char> text) {
    Utf8Encoded result;
    result.bytes.reserve(text.size());
    for (Char unit : text) {
        auto c = static_cast<char32_t>(unit);
        if (!IsScalarValue(c)) {
            result.valid = false;
            c = kReplacement;
        }
        AppendUtf8(c, result.bytes);
    }
    return result;
}

struct LeadByte {
    int trailCount;
    // The range the first trail byte must lie in; it keeps out overlong
    // forms, surrogates and values above U+10FFFF, so that a sequence is
    // found bad at its first byte that could not continue a valid one.
    unsigned char firstMin;
    unsigned char firstMax;
};

// Trail count 0 marks a byte that cannot start a sequence.
LeadByte Classify(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF)
        return {1, 0x80, 0xBF};
    if (lead == 0xE0)
        return {2, 0xA0, 0xBF};
    if (lead == 0xED)
        return {2, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF)
        return {2, 0x80, 0xBF};
    if (lead == 0xF0)
        return {3, 0x90, 0xBF};
    if (lead >= 0xF1 && lead <= 0xF3)
        return {3, 0x80, 0xBF};
    if (lead == 0xF4)
        return {3, 0x80, 0x8F};
    return {0, 0, 0};
}

struct Sequence {
    char32_t value;
    size_t used;
    bool valid;
};

// The sequence at the front of `bytes` (not empty). An invalid piece gives
// U+FFFD and consumes its longest prefix that could still have been valid.
Sequence DecodeOne(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80)
        return {lead, 1, true};
    const LeadByte kind = Classify(lead);
    if (kind.trailCount == 0)
        return {kReplacement, 1, false};
    char32_t value = lead & (0x3F >> kind.trailCount);
    size_t used = 1;
    for (int i = 0; i < kind.trailCount; ++i, ++used) {
        if (used >= bytes.size())
            return {kReplacement, used, false};
        const auto trail = static_cast<unsigned char>(bytes[used]);
        const unsigned char min = i == 0 ? kind.firstMin : 0x80;
        const unsigned char max = i == 0 ? kind.firstMax : 0xBF;
        if (trail < min || trail > max)
            return {kReplacement, used, false};
        value = (value << 6) | (trail & 0x3F);
    }
    return {value, used, true};
}

}  // namespace

Utf8Encoded EncodeUtf8(std::wstring_view text) {
    return Encode(text);
}

Utf8Encoded EncodeUtf8(std::u32string_view text) {
    return Encode(text);
}

template <typename Char>
Utf8Decoded<Char> DecodeUtf8(std::string_view bytes) {
    Utf8Decoded<Char> result;
    result.text.reserve(bytes.size());
    while (!bytes.empty()) {
        const Sequence sequence = DecodeOne(bytes);
        result.valid &= sequence.valid;
        result.text.push_back(static_cast<Char>(sequence.value));
        bytes.remove_prefix(sequence.used);
    }
    return result;
}

template Utf8Decoded<wchar_t> DecodeUtf8(std::string_view bytes);
template Utf8Decoded<char32_t> DecodeUtf8(std::string_view bytes);

}  // namespace platform
