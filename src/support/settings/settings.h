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

class CSettings {
  public:
    // Supplies the current mail profile's name; false when it is unknown.
    using ProfileLookup = std::function<bool(std::wstring& profile)>;

    explicit CSettings(ProfileLookup currentProfile = {});

    // Installation (per machine).
    static bool GetPartner(DWORD& partner);
    // True only when `Exchange` reads non-zero: 0 and a missing value both mean "not installed".
    static bool IsExchangeModuleInstalled();
    static bool GetInstallDirectory(std::wstring& directory);
    static bool GetSpamFolderName(std::wstring& name);
    // The filter service's login server, "http://host:port" without a path.
    static bool GetLoginServer(std::wstring& server);
    static bool GetAccountIdentity(DWORD& identity);
    static bool GetAccountPassword(std::wstring& password);

    // The filter and the user's choices.
    static bool GetFilterThreshold(DWORD& threshold);
    static bool GetLanguage(std::wstring& language);
    static bool GetLanguageRecognitionMode(DWORD& mode);
    static bool GetLanguageRecognitionLanguages(std::vector<std::wstring>& languages);
    // True when mail moved to the spam folder stays unread: `Move as Read` is 0 or missing.
    static bool MovedMailStaysUnread();
    // The logging switch is read but has no effect: the log is always on.
    static bool GetLogSwitch(DWORD& value);
    static bool GetCheckMails(DWORD& checkMails);
    static bool GetRecheckFolders(std::vector<std::wstring>& folders);

    // Connections: a missing count is started at 1.
    static bool IncrementLoadCount();

    // The last disconnection, per mail profile.
    bool GetLastRecheck(DATE& time);
    bool SetLastRecheck(DATE time);

    // The spam folder's stored identification, under the subkey `name`
    // (no subkey when the name is empty).
    static bool GetSpamFolderId(const std::wstring& name, std::wstring& id);
    static bool SetSpamFolderId(const std::wstring& name, const std::wstring& id);

    // The toolbar's place.
    static bool GetToolbarRowIndex(DWORD& row);
    static bool SetToolbarRowIndex(DWORD row);
    static bool GetToolbarTop(DWORD& top);
    static bool SetToolbarTop(DWORD top);
    static bool GetToolbarLeft(DWORD& left);
    static bool SetToolbarLeft(DWORD left);

    // Statistics. The user's counts grow only once the values exist.
    static bool GetFilterProcessed(DWORD& count);
    static bool SetFilterProcessed(DWORD count);
    static bool GetFilterBlocked(DWORD& count);
    static bool SetFilterBlocked(DWORD count);
    static bool GetUserBlocked(DWORD& count);
    static bool SetUserBlocked(DWORD count);
    static bool IncrementUserBlocked();
    static bool GetUserUnblocked(DWORD& count);
    static bool SetUserUnblocked(DWORD count);
    static bool IncrementUserUnblocked();

    // Outlook and the system.
    // True (Internet-mail-only mode) when `MailSupport` of that Outlook version reads 0.
    static bool IsInternetMailOnly(const std::wstring& outlookVersion);
    static bool GetExtendedMapiDllPath(std::wstring& path);
    static bool GetMapiComponentId(std::string& componentId);
    static bool GetMapiApplicationLcids(std::vector<std::string>& lcids);
    static bool GetMapiOfficeLcids(std::vector<std::string>& lcids);
    static bool GetDefaultMailClient(std::wstring& client);
    static bool GetBrowserCommand(std::wstring& command);

  private:
    bool ProfileKey(std::wstring& key);

    ProfileLookup currentProfile_;
    std::wstring profileName_;
    DWORD profileLoaded_ = 0;
};
