#include "registry_fixture.h"

#include "support/log_files.h"
#include "support/settings/settings.h"

namespace {
const std::wstring kClientSettings = L"Software\\Brevint\\Clients\\Outlook\\Settings";
const std::wstring kUserStatistics = L"Software\\Brevint\\Statistics\\User";
const std::wstring kExchangeSettings = kClientSettings + L"\\Exchange";
}  // namespace

using SettingsTest = RegistryTest;

TEST_F(SettingsTest, AFailedReadLeavesTheCallersValueAndCreatesTheKey) {
    std::wstring name = L"caller's default";
    EXPECT_FALSE(CSettings::GetSpamFolderName(name));
    EXPECT_EQ(name, L"caller's default");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Installation\\Partner"));

    SetString(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Installation\\Partner", L"Spam Folder Name",
              L"Junk by us");
    EXPECT_TRUE(CSettings::GetSpamFolderName(name));
    EXPECT_EQ(name, L"Junk by us");
}

TEST_F(SettingsTest, LoadCountStartsAtOneAndGrows) {
    const std::wstring key = L"Software\\Brevint\\Clients\\Outlook";
    DWORD count = 0;
    EXPECT_TRUE(CSettings::IncrementLoadCount());
    ASSERT_TRUE(GetDword(HKEY_CURRENT_USER, key, L"Load Count", count));
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(CSettings::IncrementLoadCount());
    EXPECT_TRUE(CSettings::IncrementLoadCount());
    ASSERT_TRUE(GetDword(HKEY_CURRENT_USER, key, L"Load Count", count));
    EXPECT_EQ(count, 3u);
}

TEST_F(SettingsTest, UserStatisticsAreCountedOnlyOnceTheyExist) {
    DWORD count = 0;
    EXPECT_FALSE(CSettings::IncrementUserBlocked());
    EXPECT_FALSE(GetDword(HKEY_CURRENT_USER, kUserStatistics, L"Blocked", count));

    SetDword(HKEY_CURRENT_USER, kUserStatistics, L"Unblocked", 41);
    EXPECT_TRUE(CSettings::IncrementUserUnblocked());
    ASSERT_TRUE(CSettings::GetUserUnblocked(count));
    EXPECT_EQ(count, 42u);
}

TEST_F(SettingsTest, MoveAsReadZeroAndMissingBothKeepMovedMailUnread) {
    EXPECT_TRUE(CSettings::MovedMailStaysUnread());
    SetDword(HKEY_CURRENT_USER, kClientSettings, L"Move as Read", 0);
    EXPECT_TRUE(CSettings::MovedMailStaysUnread());
    SetDword(HKEY_CURRENT_USER, kClientSettings, L"Move as Read", 1);
    EXPECT_FALSE(CSettings::MovedMailStaysUnread());
}

TEST_F(SettingsTest, ExchangeModuleCountsOnlyWhenNonZero) {
    const std::wstring key = L"Software\\Brevint\\Installation";
    EXPECT_FALSE(CSettings::IsExchangeModuleInstalled());
    SetDword(HKEY_LOCAL_MACHINE, key, L"Exchange", 0);
    EXPECT_FALSE(CSettings::IsExchangeModuleInstalled());
    SetDword(HKEY_LOCAL_MACHINE, key, L"Exchange", 2);
    EXPECT_TRUE(CSettings::IsExchangeModuleInstalled());
}

TEST_F(SettingsTest, RecheckFoldersSkipEmptyEntries) {
    SetMultiString(HKEY_CURRENT_USER, kExchangeSettings, L"Recheck",
                   {L"Inbox", L"", L"Lists\\Work", L"", L""});
    std::vector<std::wstring> folders{L"stale"};
    ASSERT_TRUE(CSettings::GetRecheckFolders(folders));
    EXPECT_EQ(folders, (std::vector<std::wstring>{L"Inbox", L"Lists\\Work"}));
}

TEST_F(SettingsTest, AStringLongerThanTheBufferReadsAsMissing) {
    const std::wstring key = L"Software\\Brevint\\Installation";
    const std::wstring fits(7999, L'x');  // with its terminator exactly 8,000 characters
    SetString(HKEY_LOCAL_MACHINE, key, L"Directory", fits);
    std::wstring directory;
    ASSERT_TRUE(CSettings::GetInstallDirectory(directory));
    EXPECT_EQ(directory, fits);

    SetString(HKEY_LOCAL_MACHINE, key, L"Directory", fits + L"y");
    directory = L"kept";
    EXPECT_FALSE(CSettings::GetInstallDirectory(directory));
    EXPECT_EQ(directory, L"kept");
}

TEST_F(SettingsTest, AStringReadsUpToItsFirstNull) {
    const std::wstring key = L"Software\\Brevint\\Account";
    const wchar_t data[] = L"secret\0tail";
    Set(HKEY_LOCAL_MACHINE, key, L"Password", REG_SZ, data, sizeof data);
    std::wstring password;
    ASSERT_TRUE(CSettings::GetAccountPassword(password));
    EXPECT_EQ(password, L"secret");
}

// A damaged setting reads as missing, so every caller takes its own
// fallback, and the log says which value and why: an empty string must not
// read as a threshold of 0, which would make every message spam.
TEST_F(SettingsTest, AValueOfTheWrongTypeOrSizeReadsAsMissingAndIsNamedInTheLog) {
    MakeLogsFolder();
    const std::wstring thresholds = L"Software\\Brevint\\Thresholds";
    SetString(HKEY_CURRENT_USER, thresholds, L"Filter", L"");
    DWORD read = 5;
    EXPECT_FALSE(CSettings::GetFilterThreshold(read));
    EXPECT_EQ(read, 5u);

    const DWORD seventy = 70;
    Set(HKEY_CURRENT_USER, thresholds, L"Filter", REG_BINARY, &seventy, sizeof seventy);
    EXPECT_FALSE(CSettings::GetFilterThreshold(read));
    const WORD shortNumber = 70;
    Set(HKEY_CURRENT_USER, thresholds, L"Filter", REG_DWORD, &shortNumber, sizeof shortNumber);
    EXPECT_FALSE(CSettings::GetFilterThreshold(read));
    EXPECT_EQ(read, 5u);

    SetDword(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Installation", L"Directory", 1);
    std::wstring directory = L"kept";
    EXPECT_FALSE(CSettings::GetInstallDirectory(directory));
    EXPECT_EQ(directory, L"kept");

    SetDword(HKEY_CURRENT_USER, thresholds, L"Filter", 70);
    ASSERT_TRUE(CSettings::GetFilterThreshold(read));
    EXPECT_EQ(read, 70u);

    const std::string where =
        "CSettings::ReadValue - HKCU\\Software\\Brevint\\Thresholds\\Filter is ";
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{
                  where + "REG_SZ of " + std::to_string(sizeof(WCHAR)) +
                      " bytes, not a 4-byte REG_DWORD: read as missing",
                  where + "REG_BINARY of 4 bytes, not a 4-byte REG_DWORD: read as missing",
                  where + "REG_DWORD of 2 bytes, not a 4-byte REG_DWORD: read as missing",
                  "CSettings::ReadValue - HKLM\\Software\\Brevint\\Installation\\Directory is "
                  "REG_DWORD of 4 bytes, not a REG_SZ: read as missing"}));
}

// A value larger than its reader's buffer is weighed too: a threshold
// written as the text "50" or as eight bytes is a damaged setting, named in
// the log, while a string of the right type that is merely too long reads as
// missing without a word.
TEST_F(SettingsTest, AValueTooLargeForItsReaderIsStillNamedWhenOfTheWrongTypeOrSize) {
    MakeLogsFolder();
    const std::wstring thresholds = L"Software\\Brevint\\Thresholds";
    SetString(HKEY_CURRENT_USER, thresholds, L"Filter", L"50");
    DWORD read = 5;
    EXPECT_FALSE(CSettings::GetFilterThreshold(read));
    const ULONGLONG wide = 50;
    Set(HKEY_CURRENT_USER, thresholds, L"Filter", REG_DWORD, &wide, sizeof wide);
    EXPECT_FALSE(CSettings::GetFilterThreshold(read));
    EXPECT_EQ(read, 5u);

    const std::wstring installation = L"Software\\Brevint\\Installation";
    SetString(HKEY_LOCAL_MACHINE, installation, L"Directory", std::wstring(8000, L'x'));
    std::wstring directory = L"kept";
    EXPECT_FALSE(CSettings::GetInstallDirectory(directory));
    EXPECT_EQ(directory, L"kept");

    const std::string where =
        "CSettings::ReadValue - HKCU\\Software\\Brevint\\Thresholds\\Filter is ";
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{
                  where + "REG_SZ of " + std::to_string(3 * sizeof(WCHAR)) +
                      " bytes, not a 4-byte REG_DWORD: read as missing",
                  where + "REG_DWORD of 8 bytes, not a 4-byte REG_DWORD: read as missing"}));
}

TEST_F(SettingsTest, LastRecheckIsKeptPerProfileAndTheNameIsAskedUntilKnown) {
    int lookups = 0;
    bool profileKnown = false;
    CSettings settings([&](std::wstring& profile) {
        ++lookups;
        profile = L"Work Profile";
        return profileKnown;
    });
    DATE when = 0;
    EXPECT_FALSE(settings.SetLastRecheck(39145.37));
    EXPECT_FALSE(settings.GetLastRecheck(when));
    EXPECT_EQ(lookups, 2);  // a failed lookup is tried again

    profileKnown = true;
    EXPECT_TRUE(settings.SetLastRecheck(39145.37));
    EXPECT_TRUE(settings.GetLastRecheck(when));
    EXPECT_DOUBLE_EQ(when, 39145.37);
    EXPECT_EQ(lookups, 3);  // the known name is reused

    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kExchangeSettings + L"\\Work Profile"));
    CSettings other([](std::wstring& profile) {
        profile = L"Home";
        return true;
    });
    EXPECT_FALSE(other.GetLastRecheck(when));
}

TEST_F(SettingsTest, SpamFolderIdIsStoredPerName) {
    EXPECT_TRUE(CSettings::SetSpamFolderId(L"Work Profile", L"00000000ABCD"));
    EXPECT_TRUE(CSettings::SetSpamFolderId(L"", L"00000000FFFF"));
    std::wstring id;
    ASSERT_TRUE(CSettings::GetSpamFolderId(L"Work Profile", id));
    EXPECT_EQ(id, L"00000000ABCD");
    ASSERT_TRUE(CSettings::GetSpamFolderId(L"", id));
    EXPECT_EQ(id, L"00000000FFFF");
    EXPECT_FALSE(CSettings::GetSpamFolderId(L"Home", id));
}

TEST_F(SettingsTest, InternetMailOnlyModeIsReadForTheGivenOutlookVersion) {
    const std::wstring key = L"Software\\Microsoft\\Office\\9.0\\Outlook\\Setup";
    EXPECT_FALSE(CSettings::IsInternetMailOnly(L"9.0"));
    SetDword(HKEY_CURRENT_USER, key, L"MailSupport", 1);
    EXPECT_FALSE(CSettings::IsInternetMailOnly(L"9.0"));
    SetDword(HKEY_CURRENT_USER, key, L"MailSupport", 0);
    EXPECT_TRUE(CSettings::IsInternetMailOnly(L"9.0"));
    EXPECT_FALSE(CSettings::IsInternetMailOnly(L"11.0"));
}

TEST_F(SettingsTest, NarrowInstallerValuesAreReadThroughTheAnsiCodePage) {
    const std::wstring key = L"SOFTWARE\\Clients\\Mail\\Microsoft Outlook";
    SetString(HKEY_LOCAL_MACHINE, key, L"MSIComponentID",
              L"{FF1D0740-D227-11D1-A4B0-006008AF820E}");
    SetMultiString(HKEY_LOCAL_MACHINE, key, L"MSIApplicationLCID",
                   {L"Software\\Microsoft\\Office\\11.0\\Outlook", L"", L"LastUILanguage"});
    std::string component;
    ASSERT_TRUE(CSettings::GetMapiComponentId(component));
    EXPECT_EQ(component, "{FF1D0740-D227-11D1-A4B0-006008AF820E}");
    std::vector<std::string> lcids;
    ASSERT_TRUE(CSettings::GetMapiApplicationLcids(lcids));
    EXPECT_EQ(lcids, (std::vector<std::string>{"Software\\Microsoft\\Office\\11.0\\Outlook",
                                               "LastUILanguage"}));
    EXPECT_FALSE(CSettings::GetMapiOfficeLcids(lcids));
}

TEST_F(SettingsTest, TheBrowserCommandIsReadFromTheClassesRoot) {
    SetString(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", nullptr,
              L"\"C:\\Program Files\\Browser\\browser.exe\" \"%1\"");
    std::wstring command;
    ASSERT_TRUE(CSettings::GetBrowserCommand(command));
    EXPECT_EQ(command, L"\"C:\\Program Files\\Browser\\browser.exe\" \"%1\"");
}
