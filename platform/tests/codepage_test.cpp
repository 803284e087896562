#include <windows.h>

#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// Converts with Windows' two-call pattern: ask the size, then convert.
std::wstring ToWide(UINT cp, const std::string& bytes, DWORD flags = 0) {
    const int size =
        MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(size, L'\0');
    if (size > 0) {
        EXPECT_EQ(MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()),
                                      wide.data(), size),
                  size);
    }
    return wide;
}

std::string ToNarrow(UINT cp, const std::wstring& wide, BOOL* usedDefault = nullptr,
                     const char* defaultChar = nullptr) {
    const int size = WideCharToMultiByte(cp, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                         0, defaultChar, usedDefault);
    std::string bytes(size, '\0');
    if (size > 0) {
        EXPECT_EQ(WideCharToMultiByte(cp, 0, wide.data(), static_cast<int>(wide.size()),
                                      bytes.data(), size, defaultChar, usedDefault),
                  size);
    }
    return bytes;
}

void ExpectFailure(int result, DWORD error) {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GetLastError(), error);
}

}  // namespace

TEST(CodePageConversion, RoundTripsThroughWindowsUtf8AndShiftJis) {
    struct Case {
        UINT cp;
        std::wstring text;
        std::string bytes;
    };
    const Case cases[] = {
        {1252, L"Gr\u00FC\u00DFe \u20AC\u2122",
         "Gr\xFC\xDF"
         "e \x80\x99"},
        {65001, L"Gr\u00FC\u00DFe \u20AC \U0001F600",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {932, L"\u65E5\u672C abc \uFF71", "\x93\xFA\x96\x7B abc \xB1"},
        {1251, L"\u041F\u0440\u0438", "\xCF\xF0\xE8"},
        {54936, L"\u4E2D\U0001F600", "\xD6\xD0\x94\x39\xFC\x36"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cp);
        EXPECT_EQ(ToNarrow(c.cp, c.text), c.bytes);
        EXPECT_EQ(ToWide(c.cp, c.bytes), c.text);
    }
}

TEST(CodePageConversion, MinusOneLengthIncludesTheTerminatingNullBothWays) {
    WCHAR wide[16];
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "ab\xE9", -1, wide, 16), 4);
    EXPECT_EQ(std::wstring(wide), L"ab\u00E9");
    EXPECT_EQ(wide[3], L'\0');
    EXPECT_EQ(MultiByteToWideChar(65001, 0, "ab", -1, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(65001, 0, "ab\0cd", 5, nullptr, 0), 5);

    char narrow[16];
    EXPECT_EQ(WideCharToMultiByte(932, 0, L"\u65E5x", -1, narrow, 16, nullptr, nullptr), 4);
    EXPECT_EQ(std::string(narrow), "\x93\xFAx");
    EXPECT_EQ(WideCharToMultiByte(65001, 0, L"\u00E9", -1, nullptr, 0, nullptr, nullptr), 3);
    EXPECT_EQ(WideCharToMultiByte(65001, 0, L"\u00E9", 1, nullptr, 0, nullptr, nullptr), 2);
}

TEST(CodePageConversion, BufferSizesFollowWindowsRules) {
    WCHAR wide[3] = {L'x', L'x', L'x'};
    ExpectFailure(MultiByteToWideChar(1252, 0, "abcd", 4, wide, 3), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, wide, 3), 3);
    ExpectFailure(MultiByteToWideChar(1252, 0, "abc", -1, wide, 3), ERROR_INSUFFICIENT_BUFFER);

    // The size asked for counts bytes, not characters, for multi-byte pages.
    EXPECT_EQ(WideCharToMultiByte(65001, 0, L"\u20AC\u20AC", 2, nullptr, 0, nullptr, nullptr), 6);
    char narrow[5];
    ExpectFailure(WideCharToMultiByte(65001, 0, L"\u20AC\u20AC", 2, narrow, 5, nullptr, nullptr),
                  ERROR_INSUFFICIENT_BUFFER);
    ExpectFailure(WideCharToMultiByte(932, 0, L"\u65E5\u672C", 2, narrow, 3, nullptr, nullptr),
                  ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePageConversion, BadArgumentsAndUnknownPagesAreInvalidParameters) {
    WCHAR wide[8];
    char narrow[8];
    ExpectFailure(MultiByteToWideChar(1252, 0, "abc", 0, wide, 8), ERROR_INVALID_PARAMETER);
    ExpectFailure(MultiByteToWideChar(1252, 0, nullptr, 3, wide, 8), ERROR_INVALID_PARAMETER);
    ExpectFailure(MultiByteToWideChar(1252, 0, "abc", -2, wide, 8), ERROR_INVALID_PARAMETER);
    ExpectFailure(MultiByteToWideChar(1252, 0, "abc", 3, nullptr, 8), ERROR_INVALID_PARAMETER);
    ExpectFailure(WideCharToMultiByte(1252, 0, L"abc", 0, narrow, 8, nullptr, nullptr),
                  ERROR_INVALID_PARAMETER);
    ExpectFailure(WideCharToMultiByte(1252, 0, L"abc", 3, narrow, -1, nullptr, nullptr),
                  ERROR_INVALID_PARAMETER);

    for (UINT cp : {12345u, 28600u, 57002u, 1200u}) {
        SCOPED_TRACE(cp);
        ExpectFailure(MultiByteToWideChar(cp, 0, "abc", 3, wide, 8), ERROR_INVALID_PARAMETER);
        ExpectFailure(WideCharToMultiByte(cp, 0, L"abc", 3, narrow, 8, nullptr, nullptr),
                      ERROR_INVALID_PARAMETER);
        EXPECT_FALSE(IsValidCodePage(cp));
        CPINFO info;
        EXPECT_FALSE(GetCPInfo(cp, &info));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
}

TEST(CodePageConversion, PagesThatTakeNoFlagsRejectThemWithInvalidFlags) {
    WCHAR wide[8];
    char narrow[16];
    for (UINT cp : {42u, 50220u, 50221u, 50222u, 50225u, 50227u, 52936u, 65000u}) {
        SCOPED_TRACE(cp);
        ExpectFailure(MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, "abc", 3, wide, 8),
                      ERROR_INVALID_FLAGS);
        ExpectFailure(MultiByteToWideChar(cp, MB_PRECOMPOSED, "abc", 3, wide, 8),
                      ERROR_INVALID_FLAGS);
        ExpectFailure(
            WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, L"abc", 3, narrow, 16, nullptr, nullptr),
            ERROR_INVALID_FLAGS);
        EXPECT_EQ(MultiByteToWideChar(cp, 0, "abc", 3, wide, 8), 3);
    }
    // UTF-8 and GB18030 take the invalid-characters flag and nothing else.
    for (UINT cp : {65001u, 54936u}) {
        SCOPED_TRACE(cp);
        EXPECT_EQ(MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, "abc", 3, wide, 8), 3);
        EXPECT_EQ(
            WideCharToMultiByte(cp, WC_ERR_INVALID_CHARS, L"abc", 3, narrow, 16, nullptr, nullptr),
            3);
        ExpectFailure(MultiByteToWideChar(cp, MB_PRECOMPOSED, "abc", 3, wide, 8),
                      ERROR_INVALID_FLAGS);
        ExpectFailure(
            WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, L"abc", 3, narrow, 16, nullptr, nullptr),
            ERROR_INVALID_FLAGS);
    }
    // Elsewhere the usual flags pass, but not WC_ERR_INVALID_CHARS, unknown
    // bits, or precomposed and composite together.
    EXPECT_EQ(MultiByteToWideChar(1252, MB_PRECOMPOSED | MB_ERR_INVALID_CHARS, "abc", 3, wide, 8),
              3);
    ExpectFailure(MultiByteToWideChar(1252, MB_PRECOMPOSED | MB_COMPOSITE, "abc", 3, wide, 8),
                  ERROR_INVALID_FLAGS);
    ExpectFailure(MultiByteToWideChar(1252, 0x100, "abc", 3, wide, 8), ERROR_INVALID_FLAGS);
    EXPECT_EQ(
        WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, L"abc", 3, narrow, 16, nullptr, nullptr),
        3);
    ExpectFailure(
        WideCharToMultiByte(1252, WC_ERR_INVALID_CHARS, L"abc", 3, narrow, 16, nullptr, nullptr),
        ERROR_INVALID_FLAGS);
}

TEST(CodePageConversion, Utf7AndUtf8RefuseDefaultCharacterArguments) {
    char narrow[16];
    BOOL used = FALSE;
    for (UINT cp : {65000u, 65001u}) {
        SCOPED_TRACE(cp);
        ExpectFailure(WideCharToMultiByte(cp, 0, L"abc", 3, narrow, 16, nullptr, &used),
                      ERROR_INVALID_PARAMETER);
        ExpectFailure(WideCharToMultiByte(cp, 0, L"abc", 3, narrow, 16, "?", nullptr),
                      ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(WideCharToMultiByte(1252, 0, L"abc", 3, narrow, 16, "?", &used), 3);
}

TEST(CodePageConversion, SingleBytePagesFallBackOnTheBestFitUnlessTheCallerRefuses) {
    // Accented letters outside the page become their base letter, full-width
    // forms their ASCII letter, quietly: no default character was used.
    BOOL used = TRUE;
    EXPECT_EQ(ToNarrow(1252, L"\u0100\u0107\u0150 \uFF21\uFF42", &used), "AcO Ab");
    EXPECT_FALSE(used);
    // A character the page holds keeps its own byte; one without a fit still
    // takes the default.
    EXPECT_EQ(ToNarrow(1252, L"\u00C9\u041F\u0100", &used), "\xC9?A");
    EXPECT_TRUE(used);
    // A fit the page itself cannot hold does not help: Greek has no A-macron
    // and no Latin-1 letters beyond ASCII, but it does hold 'A'.
    EXPECT_EQ(ToNarrow(1253, L"\u0100\u00C5", &used), "AA");
    EXPECT_FALSE(used);

    char narrow[8] = {};
    used = FALSE;
    EXPECT_EQ(
        WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, L"\u0100", 1, narrow, 8, nullptr, &used),
        1);
    EXPECT_EQ(narrow[0], '?');
    EXPECT_TRUE(used);
}

TEST(CodePageConversion, UnmappableCharactersAreReportedAsDefaultCharacterUse) {
    BOOL used = FALSE;
    EXPECT_EQ(ToNarrow(1252, L"\u041F\u0440\u0438\u0432\u0435\u0442", &used), "??????");
    EXPECT_TRUE(used);

    used = TRUE;
    EXPECT_EQ(ToNarrow(1252, L"caf\u00E9", &used), "caf\xE9");
    EXPECT_FALSE(used);

    EXPECT_EQ(ToNarrow(1252, L"a\u4E2Db", &used, "*"), "a*b");
    EXPECT_TRUE(used);

    // A double-byte page uses its own "?" or a caller's double-byte default.
    EXPECT_EQ(ToNarrow(932, L"\u0100", &used), "?");
    EXPECT_TRUE(used);
    EXPECT_EQ(ToNarrow(932, L"\u0100", &used, "\x81\x45"), "\x81\x45");

    // A lone surrogate has no mapping in any page.
    EXPECT_EQ(ToNarrow(1252, std::wstring(1, static_cast<wchar_t>(0xD800)), &used), "?");
    EXPECT_TRUE(used);
}

TEST(CodePageConversion, InvalidUtf8FailsOnlyWhenAskedTo) {
    const std::string bad[] = {"a\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"};
    WCHAR wide[8];
    for (const std::string& bytes : bad) {
        ExpectFailure(MultiByteToWideChar(65001, MB_ERR_INVALID_CHARS, bytes.data(),
                                          static_cast<int>(bytes.size()), wide, 8),
                      ERROR_NO_UNICODE_TRANSLATION);
    }
    // Without the flag each maximal invalid piece becomes one U+FFFD: a
    // truncated sequence is one piece, bytes that can never start or continue
    // one are a piece each.
    EXPECT_EQ(ToWide(65001, "a\xE2\x82z"), L"a\uFFFDz");
    EXPECT_EQ(ToWide(65001, "\xC0\x80"), L"\uFFFD\uFFFD");
    EXPECT_EQ(ToWide(65001, "\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(ToWide(65001, "\xF0\x9F\x98"), L"\uFFFD");
    // A real U+FFFD in the input is valid text.
    EXPECT_EQ(ToWide(65001, "\xEF\xBF\xBD", MB_ERR_INVALID_CHARS), L"\uFFFD");
}

TEST(CodePageConversion, WideTextBeyondTheBasicPlaneAndLoneSurrogatesToUtf8) {
    // A pair of UTF-16 surrogates held in two wchar_t is one character.
    const std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ(ToNarrow(65001, pair), "\xF0\x9F\x98\x80");
    // Decoding gives the code point in one wchar_t.
    EXPECT_EQ(ToWide(65001, "\xF0\x9F\x98\x80"), std::wstring(1, static_cast<wchar_t>(0x1F600)));

    const std::wstring lone = {L'a', static_cast<wchar_t>(0xDC00), L'b'};
    EXPECT_EQ(ToNarrow(65001, lone),
              "a\xEF\xBF\xBD"
              "b");
    char narrow[16];
    ExpectFailure(WideCharToMultiByte(65001, WC_ERR_INVALID_CHARS, lone.data(), 3, narrow, 16,
                                      nullptr, nullptr),
                  ERROR_NO_UNICODE_TRANSLATION);
}

TEST(CodePageConversion, Windows1252KeepsItsFiveUndefinedBytesAsC1Controls) {
    const std::string undefined = "\x81\x8D\x8F\x90\x9D";
    const std::wstring c1 = L"\u0081\u008D\u008F\u0090\u009D";
    EXPECT_EQ(ToWide(1252, undefined, MB_ERR_INVALID_CHARS), c1);
    BOOL used = TRUE;
    EXPECT_EQ(ToNarrow(1252, c1, &used), undefined);
    EXPECT_FALSE(used);
    // The defined bytes of that row keep their letters.
    EXPECT_EQ(ToWide(1252, "\x80\x8A\x9F"), L"\u20AC\u0160\u0178");
}

TEST(CodePageConversion, InvalidDoubleByteInputFailsOrBecomesTheDefault) {
    WCHAR wide[8];
    // A lead byte with nothing after it.
    ExpectFailure(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "a\x93", 2, wide, 8),
                  ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(ToWide(932, "a\x93"), L"a\u30FB");
    EXPECT_EQ(ToWide(936, "a\x81"), L"a?");
}

TEST(CodePageConversion, StatefulPagesShiftAndReturn) {
    const std::wstring japanese = L"\u65E5\u672C abc";
    const std::string iso2022 = ToNarrow(50220, japanese);
    EXPECT_EQ(iso2022, "\x1B$BF|K\\\x1B(B abc");
    EXPECT_EQ(ToWide(50220, iso2022), japanese);

    EXPECT_EQ(ToWide(65000, "Hi Mom -+Jjo--!"), L"Hi Mom -\u263A-!");
    const std::wstring mixed = L"A\u2262\u0391. \u65E5\u672C +";
    EXPECT_EQ(ToWide(65000, ToNarrow(65000, mixed)), mixed);

    const std::wstring chinese = L"a~\u4E2D\u6587b";
    const std::string hz = ToNarrow(52936, chinese);
    EXPECT_EQ(hz, "a~~~{VPND~}b");
    EXPECT_EQ(ToWide(52936, hz), chinese);
    EXPECT_EQ(ToWide(52936, "x~\ny"), L"xy");
}

TEST(CodePageConversion, SymbolPageMapsOntoTheSymbolFontArea) {
    EXPECT_EQ(ToWide(42, "\x01\x41\xFF"), L"\u0001\uF041\uF0FF");
    EXPECT_EQ(ToNarrow(42, L"\uF041\uF0FF"), "\x41\xFF");
}

TEST(CodePageInfo, ReportsSizesDefaultCharacterAndLeadBytes) {
    struct Case {
        UINT cp;
        UINT maxCharSize;
        std::string leadBytes;
    };
    const Case cases[] = {
        {1252, 1, ""},        {437, 1, ""},         {932, 2, "\x81\x9F\xE0\xFC"},
        {936, 2, "\x81\xFE"}, {949, 2, "\x81\xFE"}, {950, 2, "\x81\xFE"},
        {65001, 4, ""},       {65000, 5, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cp);
        CPINFO info;
        std::memset(&info, 0xCC, sizeof info);
        ASSERT_TRUE(GetCPInfo(c.cp, &info));
        EXPECT_EQ(info.MaxCharSize, c.maxCharSize);
        EXPECT_EQ(info.DefaultChar[0], '?');
        EXPECT_EQ(info.DefaultChar[1], 0);
        const std::string leads(reinterpret_cast<const char*>(info.LeadByte));
        EXPECT_EQ(leads, c.leadBytes);
        EXPECT_EQ(info.LeadByte[MAX_LEADBYTES - 1], 0);
    }
}

TEST(CodePageInfo, EveryListedPageIsValidAndConvertsAscii) {
    const UINT pages[] = {42,    437,   850,   866,   874,   932,   936,   949,   950,
                          1250,  1251,  1252,  1253,  1254,  1255,  1256,  1257,  1258,
                          20127, 20866, 21866, 28591, 28592, 28593, 28594, 28595, 28596,
                          28597, 28598, 28599, 28603, 28605, 50220, 50221, 50222, 51932,
                          51949, 52936, 54936, 65000, 65001};
    for (UINT cp : pages) {
        SCOPED_TRACE(cp);
        EXPECT_TRUE(IsValidCodePage(cp));
        // Code page 42 puts letters into the symbol area.
        if (cp != 42) {
            EXPECT_EQ(ToWide(cp, "Hello"), L"Hello");
            EXPECT_EQ(ToNarrow(cp, L"Hello"), "Hello");
        }
    }
}

TEST(CodePageInfo, AnsiAndOemPagesFollowTheHostSetting) {
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(GetOEMCP(), 437u);
    EXPECT_EQ(ToWide(CP_ACP, "\xE9"), L"\u00E9");
    EXPECT_EQ(ToWide(CP_OEMCP, "\x82"), L"\u00E9");

    ASSERT_TRUE(platform::host::SetAnsiCodePage(1251));
    EXPECT_EQ(GetACP(), 1251u);
    EXPECT_EQ(ToWide(CP_ACP, "\xE9"), L"\u0439");
    EXPECT_EQ(ToWide(CP_THREAD_ACP, "\xE9"), L"\u0439");
    CPINFO info;
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    EXPECT_EQ(info.MaxCharSize, 1u);

    EXPECT_FALSE(platform::host::SetAnsiCodePage(12345));
    EXPECT_EQ(GetACP(), 1251u);
    ASSERT_TRUE(platform::host::SetOemCodePage(866));
    EXPECT_EQ(ToWide(CP_OEMCP, "\x80"), L"\u0410");
    // The pseudo pages are not page numbers of their own.
    EXPECT_FALSE(IsValidCodePage(CP_ACP));
}

TEST(CodePageConversion, ThreadsConvertAtOnceThroughTheSamePages) {
    // The first conversions of a page build its tables; threads racing to
    // that point must all see complete ones.
    std::vector<std::thread> threads;
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                mismatches += ToWide(1251, "\xCF\xF0\xE8") != L"\u041F\u0440\u0438";
                mismatches += ToNarrow(932, L"\u65E5\u672C") != "\x93\xFA\x96\x7B";
                mismatches += ToNarrow(50220, L"\u65E5") != "\x1B$BF|\x1B(B";
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}

namespace {

TEST(OrdinalComparison, FoldsCaseAsFileNamesDoAndOrdersByCodeUnit) {
    EXPECT_EQ(CompareStringOrdinal(L"EntryID", -1, L"entryid", -1, TRUE), CSTR_EQUAL);
    EXPECT_EQ(CompareStringOrdinal(L"EntryID", -1, L"entryid", -1, FALSE), CSTR_LESS_THAN);
    EXPECT_EQ(CompareStringOrdinal(L"\u00e9t\u00e9", -1, L"\u00c9T\u00c9", -1, TRUE), CSTR_EQUAL);
    EXPECT_EQ(CompareStringOrdinal(L"\u0436", -1, L"\u0416", -1, TRUE), CSTR_EQUAL);
    // A prefix comes first; counted lengths stop before the terminator.
    EXPECT_EQ(CompareStringOrdinal(L"Sub", -1, L"Subject", -1, TRUE), CSTR_LESS_THAN);
    EXPECT_EQ(CompareStringOrdinal(L"Subject", 3, L"SUB", -1, TRUE), CSTR_EQUAL);
    EXPECT_EQ(CompareStringOrdinal(L"b", -1, L"A", -1, TRUE), CSTR_GREATER_THAN);
    // Upper case is the fold: '_' (0x5F) sorts after 'A' but before 'a'.
    EXPECT_EQ(CompareStringOrdinal(L"_", -1, L"a", -1, TRUE), CSTR_GREATER_THAN);
    EXPECT_EQ(CompareStringOrdinal(L"_", -1, L"a", -1, FALSE), CSTR_LESS_THAN);
}

TEST(OrdinalComparison, NullStringsAndBadLengthsAreInvalidParameters) {
    SetLastError(0);
    EXPECT_EQ(CompareStringOrdinal(nullptr, -1, L"a", -1, TRUE), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_EQ(CompareStringOrdinal(L"a", -2, L"a", -1, TRUE), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
