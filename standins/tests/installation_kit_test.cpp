// The files the installation kit writes, read the way the add-in reads them.
#include "installation_kit.h"

#include "support/language/ini_parser.h"
#include "support/utility/brevint_helper.h"

#include <wingdi.h>
#include <winuser.h>

#include "log_files.h"
#include "platform/filesystem.h"
#include "registry_fixture.h"

#include <fstream>
#include <set>
#include <utility>
#include <vector>

namespace {

const std::wstring kInstall = L"C:\\Program Files\\Brevint\\";
const std::wstring kLanguageFile = kInstall + L"Languages\\English3.ini";

// Every text the add-in asks the language file for: the toolbar's captions
// and tooltips, the progress window's texts and the message boxes.
const std::vector<std::pair<std::wstring, std::vector<int>>> kAskedFor = {
    {L"OutlookToolbar", {1, 11, 2, 21, 3, 31, 523, 4, 5, 6, 7, 10, 8, 511, 521, 411, 421}},
    {L"FrmRecheckProgress", {1, 2, 3, 13, 14, 21, 22, 23}},
    {L"OutlookMsg", {1, 2, 3, 4, 7, 8}},
};

class LanguageFileTest : public RegistryTest {
  protected:
    void SetUp() override {
        MakeLogsFolder();
        SetString(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Installation", L"Directory", kInstall);
        SetDword(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Installation", L"Partner", 3);
        SetString(HKEY_CURRENT_USER, L"Software\\Brevint", L"Language", L"English");
    }
    static std::wstring Label(const CBrevintHelper& helper, const wchar_t* section, int key) {
        std::wstring text;
        EXPECT_TRUE(helper.GetLabelText(section, key, text)) << section << L" " << key;
        return text;
    }
};

TEST_F(LanguageFileTest, TheAddinFindsATextForEverythingItAsksFor) {
    std::wstring error;
    ASSERT_TRUE(installation::WriteLanguageFile(kLanguageFile, error)) << error;

    IniParser parser;
    ASSERT_TRUE(parser.Load(kLanguageFile));
    CBrevintHelper helper;  // finds the file through the registry
    for (const auto& [section, keys] : kAskedFor) {
        for (int key : keys) {
            EXPECT_NE(parser.GetValue(section, key), L"") << section << L" " << key;
            EXPECT_EQ(Label(helper, section.c_str(), key), parser.GetValue(section, key));
        }
    }
    // Without their placeholders the refusal and the confirmation are not shown.
    EXPECT_NE(Label(helper, L"OutlookMsg", 3).find(L"|UserName|"), std::wstring::npos);
    EXPECT_NE(Label(helper, L"OutlookMsg", 7).find(L"|TotalMails|"), std::wstring::npos);
}

TEST_F(LanguageFileTest, TheToolbarsTagsDifferBetweenItsButtons) {
    std::wstring error;
    ASSERT_TRUE(installation::WriteLanguageFile(kLanguageFile, error)) << error;
    CBrevintHelper helper;
    // A tag is "Tag " followed by the caption, "Tag BL" or "Tag WL" in the
    // list menus; clicks reach every control with the same tag.
    std::set<std::wstring> tags = {L"Tag Logo", L"Tag Advert"};
    size_t controls = tags.size();
    for (int key : {1, 2, 3, 4, 5, 6, 7, 10, 8}) {
        tags.insert(L"Tag " + Label(helper, L"OutlookToolbar", key));
        ++controls;
    }
    for (int key : {511, 521}) {
        tags.insert(L"Tag BL" + Label(helper, L"OutlookToolbar", key));
        ++controls;
    }
    for (int key : {411, 421}) {
        tags.insert(L"Tag WL" + Label(helper, L"OutlookToolbar", key));
        ++controls;
    }
    EXPECT_EQ(tags.size(), controls);
}

TEST_F(LanguageFileTest, AnOlderLongerFileIsReplacedWhole) {
    const auto host = platform::host::HostPathFromWindows(kLanguageFile);
    std::filesystem::create_directories(host.parent_path());
    // Were its tail left behind, it would empty the message texts.
    std::ofstream(host, std::ios::binary) << std::string(20000, 'x') << "[OutlookMsg]";
    std::wstring error;
    ASSERT_TRUE(installation::WriteLanguageFile(kLanguageFile, error)) << error;
    IniParser parser;
    ASSERT_TRUE(parser.Load(kLanguageFile));
    EXPECT_NE(parser.GetValue(L"OutlookMsg", 8), L"");
}

class ToolbarImagesTest : public ::testing::Test {
  protected:
    TempRoot m_root;
};

struct Loaded {
    int width = 0;
    int height = 0;
    std::vector<BYTE> pixels;
};

// The file as the toolbar loads it: the faces as DIB sections, the logo at
// its own size.
Loaded LoadAsTheToolbarDoes(const std::wstring& path, UINT flags) {
    Loaded loaded;
    HANDLE bitmap = LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, flags);
    EXPECT_NE(bitmap, nullptr) << path;
    if (!bitmap)
        return loaded;
    BITMAP description{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof description, &description), int(sizeof description));
    loaded.width = description.bmWidth;
    loaded.height = description.bmHeight;
    if (description.bmBits) {
        auto* bits = static_cast<const BYTE*>(description.bmBits);
        loaded.pixels.assign(bits, bits + description.bmWidthBytes * description.bmHeight);
    }
    DeleteObject(bitmap);
    return loaded;
}

TEST_F(ToolbarImagesTest, EveryImageLoadsAndEachButtonHasItsOwnPicture) {
    std::wstring error;
    // The installation folder does not exist yet: it is made on the way.
    ASSERT_TRUE(installation::WriteToolbarImages(kInstall, error)) << error;
    const std::wstring folder = kInstall + L"Graphics\\Toolbar\\";

    Loaded logo = LoadAsTheToolbarDoes(folder + L"LogoSmall.bmp", LR_LOADFROMFILE | LR_DEFAULTSIZE);
    EXPECT_EQ(logo.width, 82);
    EXPECT_EQ(logo.height, 22);

    std::set<std::vector<BYTE>> faces;
    const wchar_t* names[] = {
        L"Block",          L"Unblock",         L"Config",  L"BlacklistEmail", L"BlacklistDomain",
        L"WhitelistEmail", L"WhitelistDomain", L"Recheck", L"EmptyFolder",    L"TellFriend"};
    for (const wchar_t* name : names) {
        const std::wstring path = folder + name + L".dib";
        Loaded face = LoadAsTheToolbarDoes(path, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
        EXPECT_EQ(face.width, 16) << name;
        EXPECT_EQ(face.height, 16) << name;
        EXPECT_FALSE(face.pixels.empty()) << name;
        faces.insert(face.pixels);

        // The file header states the file's true size and where the rows start.
        const auto host = platform::host::HostPathFromWindows(path);
        BITMAPFILEHEADER header{};
        std::ifstream(host, std::ios::binary).read(reinterpret_cast<char*>(&header), sizeof header);
        // Copied out: the packed header's fields are not aligned.
        const DWORD fileSize = header.bfSize, rowsAt = header.bfOffBits;
        EXPECT_EQ(fileSize, std::filesystem::file_size(host)) << name;
        EXPECT_EQ(rowsAt, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) << name;
    }
    EXPECT_EQ(faces.size(), std::size(names));
}

TEST_F(ToolbarImagesTest, AFileInThePlaceOfTheFolderIsReported) {
    const auto host = platform::host::HostPathFromWindows(kInstall + L"Graphics");
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host) << "not a folder";
    std::wstring error;
    EXPECT_FALSE(installation::WriteToolbarImages(kInstall, error));
    EXPECT_NE(error.find(L"Graphics"), std::wstring::npos);
}

}  // namespace
