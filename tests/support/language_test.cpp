#include "support/language/ini_parser.h"
#include "support/language/lang_file.h"
#include "support/utility/brevint_helper.h"

#include "platform/filesystem.h"
#include "registry_fixture.h"

#include <filesystem>
#include <fstream>

namespace {

const std::wstring kInstallation = L"Software\\Brevint\\Installation";
const std::wstring kUser = L"Software\\Brevint";

class LanguageTest : public RegistryTest {
  protected:
    // Writes bytes at a Windows path under the test's root.
    static void WriteFile(const std::wstring& windowsPath, const std::string& bytes) {
        const auto target = platform::host::HostPathFromWindows(windowsPath);
        std::filesystem::create_directories(target.parent_path());
        std::ofstream out(target, std::ios::binary);
        out << bytes;
    }
    static IniParser& Parsed(IniParser& parser, const std::string& utf8) {
        WriteFile(L"C:\\lang.ini", utf8);
        EXPECT_TRUE(parser.Load(L"C:\\lang.ini"));
        return parser;
    }
    void Install(const std::wstring& language, DWORD partner) {
        SetString(HKEY_LOCAL_MACHINE, kInstallation, L"Directory", L"C:\\Brevint");
        SetString(HKEY_CURRENT_USER, kUser, L"Language", language);
        SetDword(HKEY_LOCAL_MACHINE, kInstallation, L"Partner", partner);
    }
};

TEST_F(LanguageTest, ValuesAreTrimmedAndTheLastLineNeedsNoBreak) {
    IniParser parser;
    Parsed(parser,
           "[OutlookToolbar]\r\n1=Block\r\n11=  Block the selected mails \r\n"
           "2=\tUnblock\r\n3=last line");
    EXPECT_EQ(parser.GetValue(L"OutlookToolbar", 1), L"Block");
    EXPECT_EQ(parser.GetValue(L"OutlookToolbar", 11), L"Block the selected mails");
    EXPECT_EQ(parser.GetValue(L"OutlookToolbar", 2), L"Unblock");
    EXPECT_EQ(parser.GetValue(L"OutlookToolbar", 3), L"last line");
    EXPECT_EQ(parser.GetValue(L"OutlookToolbar", 4), L"");
    EXPECT_EQ(parser.GetValue(L"", 1), L"");
}

TEST_F(LanguageTest, SectionNamesAreExactIncludingCaseAndBlanks) {
    IniParser parser;
    Parsed(parser, "[outlooktoolbar]\r\n1=lower\r\n[ OutlookMsg ]\r\n1=blanks\r\n");
    EXPECT_EQ(parser.GetValue(L"OutlookToolbar", 1), L"");
    EXPECT_EQ(parser.GetValue(L"outlooktoolbar", 1), L"lower");
    EXPECT_EQ(parser.GetValue(L"OutlookMsg", 1), L"");
    EXPECT_EQ(parser.GetValue(L" OutlookMsg ", 1), L"blanks");
}

TEST_F(LanguageTest, OnlyCrLfEndsALine) {
    IniParser parser;
    Parsed(parser, "[S]\n1=one\n2=two\n");
    // One line: the value runs from the first "=" to the end of the body.
    EXPECT_EQ(parser.GetValue(L"S", 1), L"one\n2=two");
    EXPECT_EQ(parser.GetValue(L"S", 2), L"");
}

TEST_F(LanguageTest, ABracketInAValueStartsANewSection) {
    IniParser parser;
    Parsed(parser, "[S]\r\n1=before [inner] after\r\n2=x\r\n");
    EXPECT_EQ(parser.GetValue(L"S", 1), L"before");
    EXPECT_EQ(parser.GetValue(L"S", 2), L"");
    EXPECT_EQ(parser.GetValue(L"inner", 2), L"x");
}

TEST_F(LanguageTest, KeysFollowLeadingNumberRulesAndLaterLinesWin) {
    IniParser parser;
    Parsed(parser,
           "[S]\r\ncomment without equals\r\nnote=zero\r\n  -5=minus\r\n7x=seven\r\n"
           "7=again\r\n9=a=b\r\n");
    EXPECT_EQ(parser.GetValue(L"S", 0), L"zero");
    EXPECT_EQ(parser.GetValue(L"S", -5), L"minus");
    EXPECT_EQ(parser.GetValue(L"S", 7), L"again");
    EXPECT_EQ(parser.GetValue(L"S", 9), L"a=b");
}

TEST_F(LanguageTest, RepeatedSectionReplacesTheEarlierOneWholesale) {
    IniParser parser;
    Parsed(parser, "[S]\r\n1=first\r\n2=kept?\r\n[S]\r\n1=second\r\n");
    EXPECT_EQ(parser.GetValue(L"S", 1), L"second");
    EXPECT_EQ(parser.GetValue(L"S", 2), L"");
}

TEST_F(LanguageTest, DecodesUtf8AndSkipsUtf16Mark) {
    IniParser parser;
    Parsed(parser,
           "\xFF\xFE[S]\r\n1=Gr\xC3\xBC\xC3\x9F"
           "e\r\n");
    EXPECT_EQ(parser.GetValue(L"S", 1), L"Gr\u00FC\u00DFe");
    IniParser withUtf8Mark;
    Parsed(withUtf8Mark, "\xEF\xBB\xBF[S]\r\n1=x\r\n");
    EXPECT_EQ(withUtf8Mark.GetValue(L"S", 1), L"x");
}

TEST_F(LanguageTest, MissingFileAndTextWithoutSectionsGiveAnEmptyTable) {
    IniParser parser;
    EXPECT_FALSE(parser.Load(L"C:\\missing.ini"));
    Parsed(parser, "1=no section\r\n");
    EXPECT_EQ(parser.GetValue(L"", 1), L"");
    IniParser unclosed;
    Parsed(unclosed, "[S\r\n1=x\r\n");
    EXPECT_EQ(unclosed.GetValue(L"S", 1), L"");
}

TEST_F(LanguageTest, FileNameJoinsLanguageAndPartner) {
    std::wstring name = L"stale";
    EXPECT_FALSE(GetLangFileName(name));
    EXPECT_EQ(name, L"");
    Install(L"English", 3);
    ASSERT_TRUE(GetLangFileName(name));
    EXPECT_EQ(name, L"English3.ini");
    // The number is shown signed and must fit in 9 characters.
    Install(L"English", 0xFFFFFFFF);
    ASSERT_TRUE(GetLangFileName(name));
    EXPECT_EQ(name, L"English-1.ini");
    Install(L"English", 1234567890);
    EXPECT_FALSE(GetLangFileName(name));
    EXPECT_EQ(name, L"");
}

TEST_F(LanguageTest, HelperLoadsTheInstalledFileAndFallsBack) {
    Install(L"Deutsch", 12);
    WriteFile(L"C:\\Brevint\\Languages\\Deutsch12.ini",
              "[OutlookToolbar]\r\n1=Sperren\r\n2=   \r\n[OutlookMsg]\r\n8=Leer\r\n");
    CBrevintHelper helper;
    std::wstring text;
    EXPECT_TRUE(helper.GetLabelText(L"OutlookToolbar", 1, text));
    EXPECT_EQ(text, L"Sperren");
    EXPECT_FALSE(helper.GetLabelText(L"OutlookToolbar", 2, text));
    EXPECT_EQ(text, L"[N/A]");
    EXPECT_FALSE(helper.GetLabelText(L"OutlookToolbar", 8, text));
    EXPECT_EQ(text, L"Your spam folder is already empty.");
    EXPECT_TRUE(helper.GetLabelText(L"OutlookMsg", 8, text));
    EXPECT_EQ(text, L"Leer");
}

TEST_F(LanguageTest, HelperWithoutLanguageValueFallsBackEverywhere) {
    SetString(HKEY_LOCAL_MACHINE, kInstallation, L"Directory", L"C:\\Brevint");
    SetDword(HKEY_LOCAL_MACHINE, kInstallation, L"Partner", 3);
    WriteFile(L"C:\\Brevint\\Languages\\3.ini", "[OutlookToolbar]\r\n1=Block\r\n");
    CBrevintHelper helper;
    std::wstring text;
    EXPECT_FALSE(helper.GetLabelText(L"OutlookToolbar", 1, text));
    EXPECT_EQ(text, L"[N/A]");
}

}  // namespace
