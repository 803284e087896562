// "Brevint.Account": the user's account with the filter service.
//
// LogOn asks the login server named by the installation (HKLM
// Software\Brevint\Installation, "Login Server", e.g. "http://127.0.0.1:8642")
// for the account of HKLM Software\Brevint\Account ("Identity", "Password"):
// GET <server>/Account/LogOn.asp?id=<identity>&pw=<password, URL-encoded>.
// A 200 answer of "Key=Value" lines is the account's values; anything else
// leaves the account without values. The values are shared by the threads
// that call the object, under its lock.
#include <brevint_core.h>
#include <winreg.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "core/account_window.h"
#include "core/core_text.h"
#include "core/resource_ids.h"
#include "net/http_client.h"
#include "net/http_text.h"
#include "server/standin_server.h"

namespace {

using standins::core::Narrow;
using standins::core::ReturnText;
using standins::core::TextOf;
using standins::core::Widen;

constexpr const wchar_t* kInstallationKey = L"Software\\Brevint\\Installation";
constexpr const wchar_t* kAccountKey = L"Software\\Brevint\\Account";

// Reads one value of a key under HKLM into `data`; false when missing.
bool ReadMachineValue(const wchar_t* keyName, const wchar_t* valueName, DWORD expectedType,
                      void* data, DWORD& size) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    LSTATUS status =
        RegQueryValueExW(key, valueName, nullptr, &type, static_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == expectedType;
}

std::optional<std::wstring> ReadMachineString(const wchar_t* keyName, const wchar_t* valueName) {
    wchar_t text[2048] = {};
    DWORD size = sizeof text - sizeof(wchar_t);  // room for the terminator
    if (!ReadMachineValue(keyName, valueName, REG_SZ, text, size))
        return std::nullopt;
    return std::wstring(text);
}

std::optional<DWORD> ReadMachineDword(const wchar_t* keyName, const wchar_t* valueName) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!ReadMachineValue(keyName, valueName, REG_DWORD, &value, size))
        return std::nullopt;
    return value;
}

// The LogOn request of the installed account; nothing without a server.
std::optional<std::string> LogOnUrl() {
    std::optional<std::wstring> server = ReadMachineString(kInstallationKey, L"Login Server");
    if (!server || server->empty())
        return std::nullopt;
    while (!server->empty() && server->back() == L'/')
        server->pop_back();
    const DWORD identity = ReadMachineDword(kAccountKey, L"Identity").value_or(0);
    const std::wstring password = ReadMachineString(kAccountKey, L"Password").value_or(L"");
    return Narrow(*server, CP_UTF8) + "/Account/LogOn.asp?id=" + std::to_string(identity) +
           "&pw=" + standins::net::PercentEncode(Narrow(password, CP_UTF8));
}

// "Key=Value" lines, CR LF or LF; lines without a key are skipped.
std::map<std::wstring, std::wstring> ParseValues(const std::wstring& body) {
    std::map<std::wstring, std::wstring> values;
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find(L'\n', start);
        std::wstring line = body.substr(start, end - start);
        start = end == std::wstring::npos ? body.size() : end + 1;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        size_t equals = line.find(L'=');
        if (equals == 0 || equals == std::wstring::npos)
            continue;
        values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

class ATL_NO_VTABLE CAccount
    : public CComObjectRootEx<CComMultiThreadModel>,
      public CComCoClass<CAccount, &CLSID_BrevintAccount>,
      public standins::CMemberlessDispatch<brevint_core::IAccount>,
      public standins::CErrorInfoSupport<&__uuidof(brevint_core::IAccount)> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_ACCOUNT)
    DECLARE_NOT_AGGREGATABLE(CAccount)
    // Its members as they are named, and the source of their errors.
    static constexpr platform::calls::ComObject kObject{L"Account", nullptr, &CLSID_BrevintAccount,
                                                        &__uuidof(brevint_core::IAccount)};

    BEGIN_COM_MAP(CAccount)
    COM_INTERFACE_ENTRY(brevint_core::IAccount)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    STDMETHOD(LogOn)(short* loggedIn) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"LogOn", loggedIn); FAILED(hr))
            return hr;
        if (!loggedIn)
            return E_POINTER;
        std::map<std::wstring, std::wstring> values;
        if (std::optional<std::string> url = LogOnUrl()) {
            standins::net::HttpResponse response = standins::net::HttpGet(*url);
            if (response.status == 200)
                values = ParseValues(Widen(response.body, CP_UTF8));
        }
        std::lock_guard lock(m_mutex);
        m_values = std::move(values);
        *loggedIn = m_values.empty() ? 0 : 1;
        return S_OK;
    }

    STDMETHOD(GetValue)(BSTR key, BSTR* value) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"GetValue", value); FAILED(hr))
            return hr;
        if (!value)
            return E_POINTER;
        return ReturnText(Lookup(std::wstring(TextOf(key))), value);
    }

    STDMETHOD(ShowSettings)() override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"ShowSettings"); FAILED(hr))
            return hr;
        return standins::core::ShowAccountSettingsWindow() ? S_OK
                                                           : HRESULT_FROM_WIN32(GetLastError());
    }

    STDMETHOD(GetAdvert)(BSTR* caption, BSTR* link) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"GetAdvert", caption, link);
            FAILED(hr))
            return hr;
        if (!caption || !link)
            return E_POINTER;
        *caption = *link = nullptr;
        HRESULT result = ReturnText(Lookup(L"Advert.Caption"), caption);
        if (SUCCEEDED(result))
            result = ReturnText(Lookup(L"Advert.Link"), link);
        return result;
    }

  private:
    std::wstring Lookup(const std::wstring& key) const {
        std::lock_guard lock(m_mutex);
        auto found = m_values.find(key);
        return found == m_values.end() ? std::wstring() : found->second;
    }

    mutable std::mutex m_mutex;
    std::map<std::wstring, std::wstring> m_values;
};

OBJECT_ENTRY_AUTO(CLSID_BrevintAccount, CAccount)

}  // namespace
