#include "mapiview/installation.h"

#include <windows.h>

#include <platform/filesystem.h>

namespace mapiview {
namespace {

constexpr const wchar_t kMailClients[] = L"SOFTWARE\\Clients\\Mail";
constexpr const wchar_t kOutlookClient[] = L"SOFTWARE\\Clients\\Mail\\Microsoft Outlook";
constexpr const wchar_t kComponents[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Components\\";
constexpr const wchar_t kSystemFolder[] = L"C:\\Windows\\system32\\";

std::wstring Wide(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text)
        narrow += static_cast<char>(c < 0x80 ? c : '?');
    return narrow;
}

bool Copy(const std::filesystem::path& from, const std::wstring& to, std::string& error) {
    std::error_code failed;
    const auto target = platform::host::HostPathFromWindows(to);
    std::filesystem::create_directories(target.parent_path(), failed);
    std::filesystem::copy_file(from, target, std::filesystem::copy_options::overwrite_existing,
                               failed);
    if (failed)
        error = "could not copy " + from.string() + " to " + Narrow(to) + ": " + failed.message();
    return !failed;
}

bool SetValue(const std::wstring& key, const wchar_t* name, DWORD type, const void* data,
              DWORD size) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExW(opened, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(opened);
    return result == ERROR_SUCCESS;
}

bool SetString(const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    return SetValue(key, name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// A multi-string of one string: the string, its terminator and the list's.
bool SetMultiString(const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    std::wstring list = text;
    list.push_back(L'\0');
    list.push_back(L'\0');
    return SetValue(key, name, REG_MULTI_SZ, list.data(),
                    static_cast<DWORD>(list.size() * sizeof(wchar_t)));
}

}  // namespace

bool InstallMapi(const MapiInstallation& installation, std::vector<std::string>& done,
                 std::string& error) {
    const std::wstring library = kOutlookMapiLibrary;
    if (installation.outlookLibrary) {
        if (!Copy(installation.builtMapi32, library, error))
            return false;
        done.push_back("copied Outlook's MAPI library to " + Narrow(library));
    }
    if (installation.systemMapi32) {
        if (!Copy(installation.builtMapi32, std::wstring(kSystemFolder) + L"mapi32.dll", error))
            return false;
        done.push_back("copied mapi32.dll to C:\\Windows\\system32");
    }
    if (installation.mapistub) {
        if (!Copy(installation.builtMapistub, std::wstring(kSystemFolder) + L"mapistub.dll", error))
            return false;
        done.push_back("copied mapistub.dll to C:\\Windows\\system32");
    }

    bool written = true;
    if (installation.mailClient)
        written &= SetString(kMailClients, L"", L"Microsoft Outlook");
    if (installation.registryPath)
        written &= SetString(kOutlookClient, L"DLLPathEx", library);
    if (installation.component) {
        const std::wstring component = Wide(kOutlookMapiComponent);
        const std::wstring language = Wide(kOutlookMapiLanguage);
        written &= SetString(kOutlookClient, L"MSIComponentID", component);
        written &= SetMultiString(kOutlookClient, L"MSIApplicationLCID", language);
        written &= SetMultiString(kOutlookClient, L"MSIOfficeLCID", language);
        written &= SetString(kComponents + component, language.c_str(), library);
    }
    if (!written) {
        error = "could not write the MAPI library's registry values";
        return false;
    }
    done.push_back("registered Outlook's MAPI library");
    return true;
}

}  // namespace mapiview
