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

// The typed reader and writer of a value, by the type of its variable.
bool ReadValue(HKEY root, const std::wstring& key, const wchar_t* name, DWORD& value) {
    return ReadDword(root, key, name, value);
}
bool ReadValue(HKEY root, const std::wstring& key, const wchar_t* name, std::wstring& value) {
    return ReadString(root, key, name, value);
}
bool ReadValue(HKEY root, const std::wstring& key, const wchar_t* name,
               std::vector<std::wstring>& value) {
    return ReadMultiString(root, key, name, value);
}
bool WriteValue(const std::wstring& key, const wchar_t* name, DWORD value) {
    return WriteDword(key, name, value);
}

}  // namespace

#define BV_DEFINE_GET(Name, Type, Root, Key, Value) \
    bool CSettings::Get##Name(Type& value) {        \
        return ReadValue(Root, Key, Value, value);  \
    }
#define BV_DEFINE_GET_SET(Name, Type, Root, Key, Value) \
    BV_DEFINE_GET(Name, Type, Root, Key, Value)         \
    bool CSettings::Set##Name(Type value) {             \
        return WriteValue(Key, Value, value);           \
    }
BV_READ_SETTINGS(BV_DEFINE_GET)
BV_READ_WRITE_SETTINGS(BV_DEFINE_GET_SET)
#undef BV_DEFINE_GET_SET
#undef BV_DEFINE_GET

CSettings::CSettings(ProfileLookup currentProfile) : m_currentProfile(std::move(currentProfile)) {}

bool CSettings::IsExchangeModuleInstalled() {
    DWORD installed = 0;
    return ReadDword(HKEY_LOCAL_MACHINE, kInstallation, L"Exchange", installed) && installed != 0;
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

bool CSettings::IncrementLoadCount() {
    DWORD count = 0;
    if (!ReadDword(HKEY_CURRENT_USER, kClient, L"Load Count", count)) {
        return WriteDword(kClient, L"Load Count", 1);
    }
    return WriteDword(kClient, L"Load Count", count + 1);
}

bool CSettings::ProfileKey(std::wstring& key) {
    if (!m_profileLoaded) {
        std::wstring profile;
        if (!m_currentProfile || !m_currentProfile(profile))
            return false;
        m_profileName = profile;
        m_profileLoaded = 1;
    }
    key = kExchangeSettings + L"\\" + m_profileName;
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

bool CSettings::IncrementUserBlocked() {
    return Increment(kUserStatistics, L"Blocked");
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
