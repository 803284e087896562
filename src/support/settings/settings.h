// The add-in's persistent settings, statistics and installation facts, one
// operation per registry value. This is the one place that knows the key
// paths, value names and types; many values are written by the installation
// and the settings program, so they are an external interface.
//
// Read operations return true only when the key opened and the value was
// read; on false the out-variable keeps what the caller put there, and the
// caller takes its own default. Writes go to the current user's hive.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The values read and written as they are, one row each: the accessor's name,
// the value's type, its root, its key and its name. Get<Name> reads it, and
// for the second table Set<Name> writes it (to the current user's hive).
//
// clang-format off
//   NAME                           TYPE      ROOT                KEY                  VALUE
#define BV_READ_SETTINGS(X)                                                                        \
    X(Partner,                      DWORD,    HKEY_LOCAL_MACHINE, kInstallation,       L"Partner")           \
    X(InstallDirectory,             Text,     HKEY_LOCAL_MACHINE, kInstallation,       L"Directory")         \
    X(LoginServer,                  Text,     HKEY_LOCAL_MACHINE, kInstallation,       L"Login Server")      \
    X(SpamFolderName,               Text,     HKEY_LOCAL_MACHINE, kInstallationPartner, L"Spam Folder Name") \
    X(AccountIdentity,              DWORD,    HKEY_LOCAL_MACHINE, kAccount,            L"Identity")          \
    X(AccountPassword,              Text,     HKEY_LOCAL_MACHINE, kAccount,            L"Password")          \
    X(FilterThreshold,              DWORD,    HKEY_CURRENT_USER,  kThresholds,         L"Filter")            \
    X(Language,                     Text,     HKEY_CURRENT_USER,  kBrevint,            L"Language")          \
    X(LanguageRecognitionMode,      DWORD,    HKEY_CURRENT_USER,  kLanguageRecognition, L"Mode")             \
    X(LanguageRecognitionLanguages, TextList, HKEY_CURRENT_USER,  kLanguageRecognition, L"Languages")        \
    X(CheckMails,                   DWORD,    HKEY_CURRENT_USER,  kExchangeSettings,   L"CheckMails")        \
    X(RecheckFolders,               TextList, HKEY_CURRENT_USER,  kExchangeSettings,   L"Recheck")           \
    X(ExtendedMapiDllPath,          Text,     HKEY_LOCAL_MACHINE, kOutlookClient,      L"DLLPathEx")         \
    X(DefaultMailClient,            Text,     HKEY_LOCAL_MACHINE, kMailClients,        nullptr)              \
    X(BrowserCommand,               Text,     HKEY_CLASSES_ROOT,  kBrowserCommand,     nullptr)
#define BV_READ_WRITE_SETTINGS(X)                                                                  \
    X(ToolbarRowIndex,              DWORD,    HKEY_CURRENT_USER,  kToolbar,            L"Row Index")         \
    X(ToolbarTop,                   DWORD,    HKEY_CURRENT_USER,  kToolbarPosition,    L"Top")               \
    X(ToolbarLeft,                  DWORD,    HKEY_CURRENT_USER,  kToolbarPosition,    L"Left")              \
    X(FilterProcessed,              DWORD,    HKEY_CURRENT_USER,  kFilterStatistics,   L"Processed")         \
    X(FilterBlocked,                DWORD,    HKEY_CURRENT_USER,  kFilterStatistics,   L"Blocked")           \
    X(UserBlocked,                  DWORD,    HKEY_CURRENT_USER,  kUserStatistics,     L"Blocked")           \
    X(UserUnblocked,                DWORD,    HKEY_CURRENT_USER,  kUserStatistics,     L"Unblocked")
// clang-format on

class CSettings {
  public:
    using Text = std::wstring;
    using TextList = std::vector<std::wstring>;

#define BV_DECLARE_GET(Name, Type, ...) static bool Get##Name(Type& value);
#define BV_DECLARE_GET_SET(Name, Type, ...) \
    BV_DECLARE_GET(Name, Type)              \
    static bool Set##Name(Type value);
    BV_READ_SETTINGS(BV_DECLARE_GET)
    BV_READ_WRITE_SETTINGS(BV_DECLARE_GET_SET)
#undef BV_DECLARE_GET_SET
#undef BV_DECLARE_GET

    // The values read with a meaning of their own, under keys of their own,
    // or through the narrow API.

    // Supplies the current mail profile's name; false when it is unknown.
    using ProfileLookup = std::function<bool(std::wstring& profile)>;

    explicit CSettings(ProfileLookup currentProfile = {});

    // True only when `Exchange` reads non-zero: 0 and a missing value both mean "not installed".
    static bool IsExchangeModuleInstalled();
    // True when mail moved to the spam folder stays unread: `Move as Read` is 0 or missing.
    static bool MovedMailStaysUnread();
    // The logging switch is read but has no effect: the log is always on.
    static bool GetLogSwitch(DWORD& value);
    // Connections: a missing count is started at 1.
    static bool IncrementLoadCount();
    // The user's counts grow only once the values exist.
    static bool IncrementUserBlocked();
    static bool IncrementUserUnblocked();

    // The last disconnection, per mail profile.
    bool GetLastRecheck(DATE& time);
    bool SetLastRecheck(DATE time);

    // The spam folder's stored identification, under the subkey `name`
    // (no subkey when the name is empty).
    static bool GetSpamFolderId(const std::wstring& name, std::wstring& id);
    static bool SetSpamFolderId(const std::wstring& name, const std::wstring& id);

    // True (Internet-mail-only mode) when `MailSupport` of that Outlook version reads 0.
    static bool IsInternetMailOnly(const std::wstring& outlookVersion);
    // Outlook's MAPI installer values, narrow as the installer writes them.
    static bool GetMapiComponentId(std::string& componentId);
    static bool GetMapiApplicationLcids(std::vector<std::string>& lcids);
    static bool GetMapiOfficeLcids(std::vector<std::string>& lcids);

  private:
    bool ProfileKey(std::wstring& key);

    ProfileLookup m_currentProfile;
    std::wstring m_profileName;
    DWORD m_profileLoaded = 0;
};
