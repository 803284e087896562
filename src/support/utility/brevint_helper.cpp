#include "support/utility/brevint_helper.h"

#include <atlbase.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "support/language/lang_file.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "support/settings/settings.h"
#include "support/replay/unicode.h"
#include "support/settings/registry_value.h"
#include "support/utility/com_create.h"
#include "support/utility/unique_handle.h"

#include <cwctype>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

constexpr DWORD kRegistrationWait = 10000;

using RegisterServer = HRESULT (*)();

DWORD WINAPI RunRegistration(LPVOID parameter) {
    reinterpret_cast<RegisterServer>(parameter)();
    return 0;
}

// Creates an object of the ProgID (or of a class identifier in braces) to
// prove that its server is registered.
HRESULT TryCreate(const wchar_t* progId) {
    CComPtr<IUnknown> object;
    return CreateByProgId(progId, IID_IUnknown, reinterpret_cast<void**>(&object));
}

bool SameLetter(wchar_t a, wchar_t b) {
    return std::towlower(static_cast<wint_t>(a)) == std::towlower(static_cast<wint_t>(b));
}

// The first occurrence of part in text at or after from, letter case ignored.
size_t FindIgnoringCase(const std::wstring& text, const std::wstring& part, size_t from = 0) {
    if (part.size() > text.size())
        return std::wstring::npos;
    for (size_t at = from; at + part.size() <= text.size(); ++at) {
        size_t matched = 0;
        while (matched < part.size() && SameLetter(text[at + matched], part[matched]))
            ++matched;
        if (matched == part.size())
            return at;
    }
    return std::wstring::npos;
}

template <typename Find>
void ReplaceWith(Find find, std::wstring& text, const std::wstring& searched,
                 const std::wstring& replacement, bool all) {
    if (text.empty() || searched.empty() || replacement.empty())
        return;
    // Every search starts again at the beginning of the text.
    for (size_t at = find(text, searched); at != std::wstring::npos; at = find(text, searched)) {
        text.replace(at, searched.size(), replacement);
        if (!all)
            return;
    }
}

}  // namespace

CBrevintHelper::CBrevintHelper() {
    CTraceScope trace("CBrevintHelper::CBrevintHelper");
    std::wstring fileName;
    std::wstring directory;
    if (GetLangFileName(fileName) && CSettings::GetInstallDirectory(directory))
        m_language.Load(directory + L"\\Languages\\" + fileName);
}

CBrevintHelper::~CBrevintHelper() {
    CTraceScope trace("CBrevintHelper::~CBrevintHelper");
}

bool CBrevintHelper::GetLabelText(const std::wstring& section, int key, std::wstring& text) const {
    CTraceScope trace("CBrevintHelper::GetLabelText");
    std::wstring value = m_language.GetValue(section, key);
    if (!value.empty()) {
        text = value;
        return true;
    }
    text = key == 8 ? L"Your spam folder is already empty." : L"[N/A]";
    return false;
}

bool CBrevintHelper::IsDLLError() {
    CTraceScope trace("CBrevintHelper::IsDLLError");
    std::wstring directory;
    if (!CSettings::GetInstallDirectory(directory) || directory.empty())
        return false;
    const std::wstring core = directory + L"Core.dll";
    if (!IsFileExist(core))
        return false;

    HRESULT result = TryCreate(L"Brevint.HTTP");
    if (FAILED(result)) {
        CLogger::GetInstance().LogNumber("CBrevintHelper::IsDLLError", L"http",
                                         static_cast<DWORD>(result));
        return RegDll(core);
    }

    std::wstring safeItems = directory + L"BVOLTOOL.dll";
    if (!IsFileExist(safeItems)) {
        safeItems = directory + L"Clients\\Outlook\\BVOLTOOL.dll";
        if (!IsFileExist(safeItems))
            return false;
    }
    result = TryCreate(L"BVOLTOOL.BVMailItem");
    CLogger::GetInstance().LogNumber("CBrevintHelper::IsDLLError", L"bvmailitem",
                                     static_cast<DWORD>(result));
    if (SUCCEEDED(result))
        return true;
    return RegDll(safeItems);
}

bool CBrevintHelper::RegDll(const std::wstring& path) {
    CTraceScope trace("CBrevintHelper::RegDll");
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) {
        CLogger::GetInstance().LogMessage("CBrevintHelper::RegDll", L"Loadlib error: " + path);
        return false;
    }
    void* entry = reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer"));
    if (!entry)
        return false;  // the library stays loaded
    UniqueHandle thread(CreateThread(nullptr, 0, RunRegistration, entry, 0, nullptr));
    if (!thread)
        return false;
    if (WaitForSingleObject(thread.get(), kRegistrationWait) != WAIT_OBJECT_0)
        return false;  // a hanging registration keeps its library and thread
    FreeLibrary(module);
    return true;
}

bool CBrevintHelper::IsFileExist(const std::wstring& path) {
    CTraceScope trace("CBrevintHelper::IsFileExist");
    if (path.empty())
        return false;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

void CBrevintHelper::Replace(std::wstring& text, const std::wstring& searched,
                             const std::wstring& replacement, bool all) {
    CTraceScope trace("CBrevintHelper::Replace");
    auto exact = [](const std::wstring& in, const std::wstring& part) { return in.find(part); };
    ReplaceWith(exact, text, searched, replacement, all);
}

void CBrevintHelper::ReplaceI(std::wstring& text, const std::wstring& searched,
                              const std::wstring& replacement, bool all) {
    CTraceScope trace("CBrevintHelper::ReplaceI");
    auto ignoringCase = [](const std::wstring& in, const std::wstring& part) {
        return FindIgnoringCase(in, part);
    };
    ReplaceWith(ignoringCase, text, searched, replacement, all);
}

bool CBrevintHelper::IsSubstringConsisted(const std::wstring& text, const std::wstring& part) {
    CTraceScope trace("CBrevintHelper::IsSubstringConsisted");
    return FindIgnoringCase(text, part) != std::wstring::npos;
}

namespace {

// BOOL FGetComponentPath(component, qualifier, path, size, install)
using FGetComponentPathFn = BOOL(STDAPICALLTYPE*)(LPSTR, LPSTR, LPSTR, DWORD, BOOL);

constexpr const char kOutlookMailClientKey[] = "SOFTWARE\\Clients\\Mail\\Microsoft Outlook";

struct LibraryFreer {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

UniqueLibrary LoadSystemLibrary(const std::string& systemDirectory, const char* name) {
    const std::wstring path = replay::unicode::to_wide(systemDirectory + name, CP_ACP);
    return UniqueLibrary(LoadLibraryW(path.c_str()));
}

FGetComponentPathFn FindComponentPathFunction(HMODULE module) {
    return module ? reinterpret_cast<FGetComponentPathFn>(
                        reinterpret_cast<void*>(GetProcAddress(module, "FGetComponentPath")))
                  : nullptr;
}

// The first string of a multi-string value; empty when it cannot be read.
std::string ReadFirstOf(const char* value) {
    std::vector<std::string> strings;
    if (!settings::ReadNarrowMultiString(HKEY_LOCAL_MACHINE, kOutlookMailClientKey, value,
                                         strings) ||
        strings.empty())
        return {};
    return strings.front();
}

}  // namespace

bool CBrevintHelper::GetExtendedMapiDllPath(std::wstring& path) {
    constexpr const char* kFunction = "CBrevintHelper::GetExtendedMapiDllPath";
    CTraceScope trace(kFunction);
    CLogger& log = CLogger::GetInstance();

    char systemDirectory[MAX_PATH] = {};
    if (GetSystemDirectoryA(systemDirectory, MAX_PATH) == 0) {
        log.LogMessage(kFunction, L"Could not get system dir");
        return false;
    }
    // The stub answers for Outlook's MAPI; an older system keeps the function
    // in the system folder's mapi32.dll instead.
    UniqueLibrary stub = LoadSystemLibrary(systemDirectory, "\\mapistub.dll");
    if (stub)
        log.LogMessage(kFunction, L"mapistub successfully loaded");
    FGetComponentPathFn getComponentPath = FindComponentPathFunction(stub.get());
    UniqueLibrary mapi32;
    if (!getComponentPath) {
        log.LogMessage(kFunction, L"fgetcomponentath is null still");
        mapi32 = LoadSystemLibrary(systemDirectory, "\\mapi32.dll");
        if (mapi32)
            log.LogMessage(kFunction, L"mapi32 successfully loaded");
        getComponentPath = FindComponentPathFunction(mapi32.get());
    }
    if (!getComponentPath)
        return false;
    log.LogMessage(kFunction, L"fgetcomponentath is found");

    std::string appLcid = ReadFirstOf("MSIApplicationLCID");
    log.LogMessage(kFunction, L"registry: app lcid");
    std::string officeLcid = ReadFirstOf("MSIOfficeLCID");
    log.LogMessage(kFunction, L"registry: office lcid");
    std::string componentId;
    settings::ReadNarrowString(HKEY_LOCAL_MACHINE, kOutlookMailClientKey, "MSIComponentID",
                               componentId);
    log.LogMessage(kFunction, L"registry: component id");

    // The component is asked with the application's language, then Office's,
    // then with none; each may install it.
    char found[MAX_PATH] = {};
    auto ask = [&](std::string* qualifier, const wchar_t* label) {
        found[0] = '\0';
        const BOOL result = getComponentPath(
            componentId.data(), qualifier ? qualifier->data() : nullptr, found, MAX_PATH, TRUE);
        log.LogNumber(kFunction, label, static_cast<DWORD>(result));
        return result && found[0] != '\0';
    };
    const bool hasPath =
        ask(&appLcid, L"App") || ask(&officeLcid, L"office") || ask(nullptr, L"null");
    if (!hasPath)
        return false;
    path = replay::unicode::to_wide(found, CP_ACP);
    return true;
}

namespace {

// The toolbar's images under the installation folder, by index from 1; the
// options button shows the settings image again.
constexpr const wchar_t* kToolbarImages[] = {
    L"Graphics\\Toolbar\\LogoSmall.bmp",      L"Graphics\\Toolbar\\Block.dib",
    L"Graphics\\Toolbar\\Unblock.dib",        L"Graphics\\Toolbar\\Config.dib",
    L"Graphics\\Toolbar\\BlacklistEmail.dib", L"Graphics\\Toolbar\\BlacklistDomain.dib",
    L"Graphics\\Toolbar\\WhitelistEmail.dib", L"Graphics\\Toolbar\\WhitelistDomain.dib",
    L"Graphics\\Toolbar\\Recheck.dib",        L"Graphics\\Toolbar\\EmptyFolder.dib",
    L"Graphics\\Toolbar\\TellFriend.dib",     L"Graphics\\Toolbar\\Config.dib",
};
constexpr int kExchangeLogo = 13;

// The Exchange module's logo lives in the user's own data, where the module
// drops it; the installation's copy stands in when that folder is unknown.
std::wstring ExchangeLogoPath(const std::wstring& directory) {
    constexpr const char* kFunction = "CBrevintHelper::GetImageLocation";
    CLogger& log = CLogger::GetInstance();
    wchar_t appData[MAX_PATH] = {};
    const HRESULT hr =
        SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    if (FAILED(hr)) {
        log.LogNumber(kFunction, L"could not get folder path", static_cast<DWORD>(hr));
        return directory + L"Graphics\\Toolbar\\LogoSmallEX.bmp";
    }
    const std::wstring graphics = std::wstring(appData) + L"\\Brevint\\Graphics";
    if (!CreateDirectoryW(graphics.c_str(), nullptr))
        log.LogNumber(kFunction, L"could not create graphics dir", GetLastError());
    return graphics + L"\\LogoSmallEX.bmp";
}

}  // namespace

bool CBrevintHelper::GetImageLocation(int index, std::wstring& path) {
    path.clear();
    std::wstring directory;
    if (!CSettings::GetInstallDirectory(directory))
        return false;
    if (index >= 1 && index <= static_cast<int>(std::size(kToolbarImages)))
        path = directory + kToolbarImages[index - 1];
    else if (index == kExchangeLogo)
        path = ExchangeLogoPath(directory);
    return !path.empty();
}

namespace {

// The shell's answer above 32 means the program was started.
bool ShellStarted(HINSTANCE result) {
    return reinterpret_cast<INT_PTR>(result) > 32;
}

bool OpenWithShell(const std::wstring& url) {
    return ShellStarted(
        ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
}

}  // namespace

bool CBrevintHelper::ExecuteURL(const std::wstring& url, bool newWindow) {
    if (newWindow)
        return ExecuteURLInNewWindow(url);
    return !url.empty() && OpenWithShell(url);
}

bool CBrevintHelper::ExecuteURLInNewWindow(const std::wstring& url) {
    if (url.empty())
        return false;
    std::wstring browser;
    settings::ReadString(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", L"", browser);
    // Internet Explorer reuses its window for "open": it is started itself.
    if (IsBrowser(L"iexplore.exe", browser, true)) {
        return ShellStarted(
            ShellExecuteW(nullptr, nullptr, browser.c_str(), url.c_str(), nullptr, SW_SHOWNORMAL));
    }
    return OpenWithShell(url);
}

bool IsBrowser(const std::wstring& name, std::wstring& commandLine, bool cut) {
    constexpr const char* kFunction = "IsBrowser";
    CLogger& log = CLogger::GetInstance();
    log.LogMessage(kFunction, commandLine);
    if (name.empty() || commandLine.empty())
        return false;
    const size_t at = FindIgnoringCase(commandLine, name);
    if (at == std::wstring::npos)
        return false;
    if (!cut)
        return true;
    const size_t end = at + name.size();
    if (end == commandLine.size())
        return false;
    commandLine.erase(end);
    if (commandLine.front() == L'"' || commandLine.front() == L'\'')
        commandLine.erase(0, 1);
    log.LogMessage(kFunction, commandLine);
    return true;
}
