#include "support/settings/settings.h"

#include "support/settings/registry_value.h"

using namespace settings;

namespace {

const std::wstring kInstallation = L"Software\\Brevint\\Installation";
const std::wstring kInstallationPartner = L"Software\\Brevint\\Installation\\Partner";
const std::wstring kAccount = L"Software\\Brevint\\Account";
const std::wstring kThresholds = L"Software\\Brevint\\Thresholds";
const std::wstring kBrevint = L"Software\\Brevint";
const std::wstring kLanguageRecognition = L"Software\\Brevint\\Language Recognition";
const std::wstring kClient = L"Software\\Brevint\\Clients\\Outlook";
const std::wstring kClientSettings = L"Software\\Brevint\\Clients\\Outlook\\Settings";
const std::wstring kExchangeSettings = L"Software\\Brevint\\Clients\\Outlook\\Settings\\Exchange";
const std::wstring kFolders = L"Software\\Brevint\\Clients\\Outlook\\Settings\\Folders";
const std::wstring kToolbar = L"Software\\Brevint\\Clients\\Outlook\\Settings\\Toolbars\\Main";
const std::wstring kToolbarPosition =
    L"Software\\Brevint\\Clients\\Outlook\\Settings\\Toolbars\\Main\\Position";
const std::wstring kFilterStatistics = L"Software\\Brevint\\Statistics\\Filter";
const std::wstring kUserStatistics = L"Software\\Brevint\\Statistics\\User";
const std::wstring kMailClients = L"SOFTWARE\\Clients\\Mail";
const std::wstring kOutlookClient = L"SOFTWARE\\Clients\\Mail\\Microsoft Outlook";
const char* const kOutlookClientNarrow = "SOFTWARE\\Clients\\Mail\\Microsoft Outlook";
const std::wstring kBrowserCommand = L"http\\shell\\open\\command";

std::wstring FolderKey(const std::wstring& name) {
    return name.empty() ? kFolders : kFolders + L"\\" + name;
}

}  // namespace

CSettings::CSettings(ProfileLookup currentProfile) : currentProfile_(std::move(currentProfile)) {}

bool CSettings::GetPartner(DWORD& partner) {
    return ReadDword(HKEY_LOCAL_MACHINE, kInstallation, L"Partner", partner);
}

bool CSettings::IsExchangeModuleInstalled() {
    DWORD installed = 0;
    return ReadDword(HKEY_LOCAL_MACHINE, kInstallation, L"Exchange", installed) && installed != 0;
}

bool CSettings::GetInstallDirectory(std::wstring& directory) {
    return ReadString(HKEY_LOCAL_MACHINE, kInstallation, L"Directory", directory);
}

bool CSettings::GetLoginServer(std::wstring& server) {
    return ReadString(HKEY_LOCAL_MACHINE, kInstallation, L"Login Server", server);
}

bool CSettings::GetSpamFolderName(std::wstring& name) {
    return ReadString(HKEY_LOCAL_MACHINE, kInstallationPartner, L"Spam Folder Name", name);
}

bool CSettings::GetAccountIdentity(DWORD& identity) {
    return ReadDword(HKEY_LOCAL_MACHINE, kAccount, L"Identity", identity);
}

bool CSettings::GetAccountPassword(std::wstring& password) {
    return ReadString(HKEY_LOCAL_MACHINE, kAccount, L"Password", password);
}

bool CSettings::GetFilterThreshold(DWORD& threshold) {
    return ReadDword(HKEY_CURRENT_USER, kThresholds, L"Filter", threshold);
}

bool CSettings::GetLanguage(std::wstring& language) {
    return ReadString(HKEY_CURRENT_USER, kBrevint, L"Language", language);
}

bool CSettings::GetLanguageRecognitionMode(DWORD& mode) {
    return ReadDword(HKEY_CURRENT_USER, kLanguageRecognition, L"Mode", mode);
}

bool CSettings::GetLanguageRecognitionLanguages(std::vector<std::wstring>& languages) {
    return ReadMultiString(HKEY_CURRENT_USER, kLanguageRecognition, L"Languages", languages);
}

bool CSettings::MovedMailStaysUnread() {
    DWORD moveAsRead = 0;
    return !ReadDword(HKEY_CURRENT_USER, kClientSettings, L"Move as Read", moveAsRead) ||
           moveAsRead == 0;
}

bool CSettings::GetLogSwitch(DWORD& value) {
    ReadDword(HKEY_CURRENT_USER, kClientSettings, L"Log", value);
    return true;
}

bool CSettings::GetCheckMails(DWORD& checkMails) {
    return ReadDword(HKEY_CURRENT_USER, kExchangeSettings, L"CheckMails", checkMails);
}

bool CSettings::GetRecheckFolders(std::vector<std::wstring>& folders) {
    return ReadMultiString(HKEY_CURRENT_USER, kExchangeSettings, L"Recheck", folders);
}

bool CSettings::IncrementLoadCount() {
    DWORD count = 0;
    if (!ReadDword(HKEY_CURRENT_USER, kClient, L"Load Count", count)) {
        return WriteDword(kClient, L"Load Count", 1);
    }
    return WriteDword(kClient, L"Load Count", count + 1);
}

bool CSettings::ProfileKey(std::wstring& key) {
    if (!profileLoaded_) {
        std::wstring profile;
        if (!currentProfile_ || !currentProfile_(profile))
            return false;
        profileName_ = profile;
        profileLoaded_ = 1;
    }
    key = kExchangeSettings + L"\\" + profileName_;
    return true;
}

bool CSettings::GetLastRecheck(DATE& time) {
    std::wstring key;
    return ProfileKey(key) && ReadDate(HKEY_CURRENT_USER, key, L"LastRecheck", time);
}

bool CSettings::SetLastRecheck(DATE time) {
    std::wstring key;
    return ProfileKey(key) && WriteDate(key, L"LastRecheck", time);
}

bool CSettings::GetSpamFolderId(const std::wstring& name, std::wstring& id) {
    return ReadString(HKEY_CURRENT_USER, FolderKey(name), L"Filter", id);
}

bool CSettings::SetSpamFolderId(const std::wstring& name, const std::wstring& id) {
    return WriteString(FolderKey(name), L"Filter", id);
}

bool CSettings::GetToolbarRowIndex(DWORD& row) {
    return ReadDword(HKEY_CURRENT_USER, kToolbar, L"Row Index", row);
}
bool CSettings::SetToolbarRowIndex(DWORD row) {
    return WriteDword(kToolbar, L"Row Index", row);
}
bool CSettings::GetToolbarTop(DWORD& top) {
    return ReadDword(HKEY_CURRENT_USER, kToolbarPosition, L"Top", top);
}
bool CSettings::SetToolbarTop(DWORD top) {
    return WriteDword(kToolbarPosition, L"Top", top);
}
bool CSettings::GetToolbarLeft(DWORD& left) {
    return ReadDword(HKEY_CURRENT_USER, kToolbarPosition, L"Left", left);
}
bool CSettings::SetToolbarLeft(DWORD left) {
    return WriteDword(kToolbarPosition, L"Left", left);
}

bool CSettings::GetFilterProcessed(DWORD& count) {
    return ReadDword(HKEY_CURRENT_USER, kFilterStatistics, L"Processed", count);
}
bool CSettings::SetFilterProcessed(DWORD count) {
    return WriteDword(kFilterStatistics, L"Processed", count);
}
bool CSettings::GetFilterBlocked(DWORD& count) {
    return ReadDword(HKEY_CURRENT_USER, kFilterStatistics, L"Blocked", count);
}
bool CSettings::SetFilterBlocked(DWORD count) {
    return WriteDword(kFilterStatistics, L"Blocked", count);
}
bool CSettings::GetUserBlocked(DWORD& count) {
    return ReadDword(HKEY_CURRENT_USER, kUserStatistics, L"Blocked", count);
}
bool CSettings::SetUserBlocked(DWORD count) {
    return WriteDword(kUserStatistics, L"Blocked", count);
}
bool CSettings::IncrementUserBlocked() {
    return Increment(kUserStatistics, L"Blocked");
}
bool CSettings::GetUserUnblocked(DWORD& count) {
    return ReadDword(HKEY_CURRENT_USER, kUserStatistics, L"Unblocked", count);
}
bool CSettings::SetUserUnblocked(DWORD count) {
    return WriteDword(kUserStatistics, L"Unblocked", count);
}
bool CSettings::IncrementUserUnblocked() {
    return Increment(kUserStatistics, L"Unblocked");
}

bool CSettings::IsInternetMailOnly(const std::wstring& outlookVersion) {
    DWORD mailSupport = 0;
    const std::wstring key =
        L"Software\\Microsoft\\Office\\" + outlookVersion + L"\\Outlook\\Setup";
    return ReadDword(HKEY_CURRENT_USER, key, L"MailSupport", mailSupport) && mailSupport == 0;
}

bool CSettings::GetExtendedMapiDllPath(std::wstring& path) {
    return ReadString(HKEY_LOCAL_MACHINE, kOutlookClient, L"DLLPathEx", path);
}

bool CSettings::GetMapiComponentId(std::string& componentId) {
    return ReadNarrowString(HKEY_LOCAL_MACHINE, kOutlookClientNarrow, "MSIComponentID",
                            componentId);
}

bool CSettings::GetMapiApplicationLcids(std::vector<std::string>& lcids) {
    return ReadNarrowMultiString(HKEY_LOCAL_MACHINE, kOutlookClientNarrow, "MSIApplicationLCID",
                                 lcids);
}

bool CSettings::GetMapiOfficeLcids(std::vector<std::string>& lcids) {
    return ReadNarrowMultiString(HKEY_LOCAL_MACHINE, kOutlookClientNarrow, "MSIOfficeLCID", lcids);
}

bool CSettings::GetDefaultMailClient(std::wstring& client) {
    return ReadString(HKEY_LOCAL_MACHINE, kMailClients, nullptr, client);
}

bool CSettings::GetBrowserCommand(std::wstring& command) {
    return ReadString(HKEY_CLASSES_ROOT, kBrowserCommand, nullptr, command);
}
