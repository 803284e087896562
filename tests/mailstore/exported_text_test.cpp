// The exported message bytes made wide text for the core: counted by the
// characters converted, NULs and all.
#include "mailstore/exported_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace {

std::wstring Handed(std::string_view bytes, DWORD& length) {
    std::unique_ptr<wchar_t[]> text;
    const int converted = WidenExportedText(bytes.data(), bytes.size(), text, length);
    EXPECT_EQ(converted, static_cast<int>(length));
    EXPECT_EQ(text[length - 1], L'\0');
    return std::wstring(text.get(), length - 1);  // as the new-mail path takes it
}

}  // namespace

TEST(ExportedText, ANulByteKeepsWhatFollowsIt) {
    DWORD length = 0;
    using namespace std::literals;
    EXPECT_EQ(Handed("Subject: a\r\n\r\nbody\0after\xe9"sv, length),
              L"Subject: a\r\n\r\nbody\0after\xe9"s);
    EXPECT_EQ(length, 26u);
}

// In a double-byte page two bytes make one character: the text handed on is
// the characters converted, with no zeros left over after them.
TEST(ExportedText, DoubleByteCharactersCountOnceEach) {
    ASSERT_TRUE(platform::host::SetAnsiCodePage(932));
    DWORD length = 0;
    EXPECT_EQ(Handed("\x82\xa0\x82\xa2 x", length), L"\x3042\x3044 x");
    EXPECT_EQ(length, 5u);
}
