#include "../src/core/utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using platform::DecodeUtf8;
using platform::EncodeUtf8;

constexpr char32_t kBad = 0xFFFD;

struct Decoding {
    std::u32string text;
    bool valid;
    bool operator==(const Decoding&) const = default;
};

Decoding Decode(std::string_view bytes) {
    auto decoded = DecodeUtf8<char32_t>(bytes);
    return {decoded.text, decoded.valid};
}

std::u32string Bad(size_t count) {
    return std::u32string(count, kBad);
}

TEST(Utf8, EachMaximalInvalidPieceBecomesOneReplacement) {
    // A sequence cut short is one piece, whether the end or another byte cuts it.
    EXPECT_EQ(Decode("a\xE2\x82z"), (Decoding{U"a\uFFFDz", false}));
    EXPECT_EQ(Decode("\xF0\x9F\x98"), (Decoding{Bad(1), false}));
    EXPECT_EQ(Decode("\xF0\x9F\x98\xF0\x9F\x98\x80"), (Decoding{U"\uFFFD\U0001F600", false}));
    // Bytes that can neither start nor continue a sequence are a piece each.
    EXPECT_EQ(Decode("\x80\xBF\xFE\xFF"), (Decoding{Bad(4), false}));
    // U+FFFD written in the input is text like any other.
    EXPECT_EQ(Decode("\xEF\xBF\xBD"), (Decoding{Bad(1), true}));
    EXPECT_EQ(Decode(""), (Decoding{U"", true}));
}

TEST(Utf8, OverlongFormsAreInvalidAndTheShortestFormsAreNot) {
    EXPECT_EQ(Decode("\xC0\xAF"), (Decoding{Bad(2), false}));
    EXPECT_EQ(Decode("\xC1\xBF"), (Decoding{Bad(2), false}));
    EXPECT_EQ(Decode("\xE0\x80\xAF"), (Decoding{Bad(3), false}));
    EXPECT_EQ(Decode("\xE0\x9F\xBF"), (Decoding{Bad(3), false}));
    EXPECT_EQ(Decode("\xF0\x80\x80\xAF"), (Decoding{Bad(4), false}));
    EXPECT_EQ(Decode("\xF0\x8F\xBF\xBF"), (Decoding{Bad(4), false}));

    EXPECT_EQ(Decode("\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80"),
              (Decoding{U"\u0080\u0800\U00010000", true}));
}

TEST(Utf8, EncodedSurrogatesAreInvalidButTheirNeighboursAreNot) {
    EXPECT_EQ(Decode("\xED\xA0\x80"), (Decoding{Bad(3), false}));
    EXPECT_EQ(Decode("\xED\xBF\xBF"), (Decoding{Bad(3), false}));
    // A pair encoded as two sequences is still two surrogates.
    EXPECT_EQ(Decode("\xED\xA0\xBD\xED\xB8\x80"), (Decoding{Bad(6), false}));
    EXPECT_EQ(Decode("\xED\x9F\xBF\xEE\x80\x80"), (Decoding{U"\uD7FF\uE000", true}));
}

TEST(Utf8, FourByteFormsEndAtU10FFFF) {
    EXPECT_EQ(Decode("\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"),
              (Decoding{U"\U0001F600\U0010FFFF", true}));
    EXPECT_EQ(Decode("\xF4\x90\x80\x80"), (Decoding{Bad(4), false}));
    EXPECT_EQ(Decode("\xF5\x80\x80\x80"), (Decoding{Bad(4), false}));
}

TEST(Utf8, EncodingReplacesWhatIsNoScalarValue) {
    const std::u32string text = {U'a', 0xD800, 0xDFFF, 0x110000, 0xFFFFFFFF, 0x10FFFF};
    const auto encoded = EncodeUtf8(text);
    EXPECT_EQ(encoded.bytes, "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xF4\x8F\xBF\xBF");
    EXPECT_FALSE(encoded.valid);

    // Wide text converts alike, a negative wchar_t included.
    const std::wstring wide = {L'a', static_cast<wchar_t>(0x110000), static_cast<wchar_t>(-1)};
    EXPECT_EQ(EncodeUtf8(wide).bytes, "a\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_FALSE(EncodeUtf8(wide).valid);
    EXPECT_TRUE(EncodeUtf8(std::wstring_view(L"\u00FCber \U0001F600")).valid);
}

TEST(Utf8, EveryScalarValueRoundTripsInItsShortestForm) {
    std::u32string all;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c < 0xD800 || c > 0xDFFF)
            all.push_back(c);
    }
    const auto encoded = EncodeUtf8(all);
    ASSERT_TRUE(encoded.valid);
    // 128 one-byte, 1920 two-byte, 61440 three-byte, 1048576 four-byte values.
    EXPECT_EQ(encoded.bytes.size(), 128u + 1920u * 2 + 61440u * 3 + 1048576u * 4);
    EXPECT_EQ(Decode(encoded.bytes), (Decoding{all, true}));

    const auto wide = DecodeUtf8<wchar_t>(encoded.bytes);
    EXPECT_TRUE(wide.valid);
    EXPECT_TRUE(std::equal(wide.text.begin(), wide.text.end(), all.begin(), all.end()));
}

}  // namespace
