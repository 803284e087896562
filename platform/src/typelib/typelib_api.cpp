// Loading type libraries from their text, and their registration under
// HKEY_CLASSES_ROOT\TypeLib and \Interface.
#include <objbase.h>
#include <oleauto.h>
#include <winerror.h>
#include <winreg.h>

#include <winnls.h>

#include "registrar/module_data.h"
#include "registry/key_name.h"
#include "typelib/library_text.h"
#include "typelib/type_library.h"

#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace {

using platform::registrar::ReadFileBytes;
using platform::registrar::ReadModuleResource;
using platform::registrar::ResourceText;

// Interfaces reached through the universal marshaller.
constexpr const wchar_t* kOleAutomationProxy = L"{00020424-0000-0000-C000-000000000046}";
constexpr const wchar_t* kDispatchProxy = L"{00020420-0000-0000-C000-000000000046}";

std::wstring GuidText(REFGUID guid) {
    wchar_t text[39];
    StringFromGUID2(guid, text, 39);
    return text;
}

std::wstring Hex(unsigned value) {
    wchar_t text[16];
    swprintf(text, 16, L"%x", value);
    return text;
}

// Version keys and values are written in hexadecimal.
std::wstring VersionText(WORD major, WORD minor) {
    return Hex(major) + L"." + Hex(minor);
}

bool IsModule(const std::string& bytes) {
    return bytes.starts_with(
        "\x7F"
        "ELF");
}

// The text of the library at a path: a text file, a module's TYPELIB 1, or,
// for "module\N", the module's TYPELIB N.
HRESULT ReadLibraryText(const std::wstring& path, std::wstring& text) {
    std::string bytes;
    HRESULT hr = ReadFileBytes(path.c_str(), bytes);
    if (SUCCEEDED(hr) && IsModule(bytes)) {
        hr = ReadModuleResource(path.c_str(), L"TYPELIB",
                                reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(1)), bytes);
    } else if (FAILED(hr)) {
        const size_t slash = path.rfind(L'\\');
        const std::wstring number = slash == std::wstring::npos ? L"" : path.substr(slash + 1);
        const bool numbered = !number.empty() && number.size() <= 5 &&
                              number.find_first_not_of(L"0123456789") == std::wstring::npos &&
                              std::stoul(number) <= 0xFFFF;
        if (!numbered)
            return TYPE_E_CANTLOADLIBRARY;
        hr = ReadModuleResource(
            path.substr(0, slash).c_str(), L"TYPELIB",
            reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(std::stoul(number))), bytes);
    }
    if (FAILED(hr))
        return TYPE_E_CANTLOADLIBRARY;
    return ResourceText(bytes, text) ? S_OK : TYPE_E_INVDATAREAD;
}

// A key under HKEY_CLASSES_ROOT, created with its default value and closed at
// the end.
class ClassKey {
  public:
    explicit ClassKey(const std::wstring& path) {
        m_status =
            RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &m_key, nullptr);
    }
    ~ClassKey() {
        if (m_key)
            RegCloseKey(m_key);
    }
    ClassKey(const ClassKey&) = delete;
    ClassKey& operator=(const ClassKey&) = delete;

    ClassKey& Set(const wchar_t* name, const std::wstring& text) {
        if (m_status == ERROR_SUCCESS)
            m_status =
                RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        return *this;
    }
    bool ok() const { return m_status == ERROR_SUCCESS; }

  private:
    HKEY m_key = nullptr;
    LSTATUS m_status;
};

std::optional<std::wstring> ReadText(const std::wstring& path, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text;
    DWORD type = 0, size = 0;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (status == ERROR_SUCCESS && type == REG_SZ) {
        text.resize(size / sizeof(wchar_t) + 1);
        status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                                  &size);
        text.resize(wcsnlen(text.c_str(), size / sizeof(wchar_t)));
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    return text;
}

std::vector<std::wstring> Subkeys(const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD length = 256; RegEnumKeyExW(key, static_cast<DWORD>(names.size()), name, &length,
                                           nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         length = 256)
        names.emplace_back(name, length);
    RegCloseKey(key);
    return names;
}

bool HasSubkeys(const std::wstring& path) {
    return !Subkeys(path).empty();
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return platform::registry::FoldName(a) == platform::registry::FoldName(b);
}

// No locale left under a version: only its FLAGS and HELPDIR.
bool OnlyVersionKeysLeft(const std::wstring& versionKey) {
    for (const std::wstring& name : Subkeys(versionKey)) {
        if (!SameName(name, L"FLAGS") && !SameName(name, L"HELPDIR"))
            return false;
    }
    return true;
}

// The interfaces a library registers: dispinterfaces and the interfaces that
// OLE Automation marshals (dual ones included), with the proxy of each.
template <typename Visit>
void ForEachRegisteredInterface(ITypeLib* library, Visit visit) {
    for (UINT i = 0, count = library->GetTypeInfoCount(); i < count; ++i) {
        ITypeInfo* info = nullptr;
        if (FAILED(library->GetTypeInfo(i, &info)))
            continue;
        TYPEATTR* attributes = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attributes))) {
            const bool automation = attributes->wTypeFlags & TYPEFLAG_FOLEAUTOMATION;
            if (attributes->typekind == TKIND_DISPATCH ||
                (attributes->typekind == TKIND_INTERFACE && automation)) {
                BSTR name = nullptr;
                info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
                visit(attributes->guid, std::wstring(name ? name : L""),
                      automation ? kOleAutomationProxy : kDispatchProxy);
                SysFreeString(name);
            }
            info->ReleaseTypeAttr(attributes);
        }
        info->Release();
    }
}

bool ShouldRegister(REGKIND regkind, const wchar_t* file) {
    if (regkind == REGKIND_REGISTER)
        return true;
    // By default a library named without a folder is registered as well.
    return regkind == REGKIND_DEFAULT && !wcschr(file, L'\\') && !wcschr(file, L':');
}

}  // namespace

HRESULT WINAPI LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib** pptlib) {
    if (!pptlib)
        return E_INVALIDARG;
    *pptlib = nullptr;
    if (!szFile || regkind < REGKIND_DEFAULT || regkind > REGKIND_NONE)
        return E_INVALIDARG;
    std::wstring text;
    if (HRESULT hr = ReadLibraryText(szFile, text); FAILED(hr))
        return hr;
    auto description = platform::typelib::ReadLibraryText(text, nullptr);
    if (!description)
        return TYPE_E_INVDATAREAD;
    ITypeLib* library = platform::typelib::CreateTypeLibrary(std::move(*description));
    if (!library)
        return E_OUTOFMEMORY;
    if (ShouldRegister(regkind, szFile)) {
        if (HRESULT hr = RegisterTypeLib(library, szFile, nullptr); FAILED(hr)) {
            library->Release();
            return hr;
        }
    }
    *pptlib = library;
    return S_OK;
}

HRESULT WINAPI LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) {
    return LoadTypeLibEx(szFile, REGKIND_DEFAULT, pptlib);
}

HRESULT WINAPI QueryPathOfRegTypeLib(REFGUID guid, USHORT wMaj, USHORT wMin, LCID lcid,
                                     BSTR* lpbstrPathName) {
    if (!lpbstrPathName)
        return E_INVALIDARG;
    *lpbstrPathName = nullptr;
    const std::wstring libraryKey = L"TypeLib\\" + GuidText(guid);
    // The highest registered minor version of the major version asked for,
    // at least the minor asked for.
    std::optional<std::wstring> version;
    unsigned bestMinor = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, libraryKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return TYPE_E_LIBNOTREGISTERED;
    wchar_t name[256];
    for (DWORD index = 0, length = 256; RegEnumKeyExW(key, index, name, &length, nullptr, nullptr,
                                                      nullptr, nullptr) == ERROR_SUCCESS;
         ++index, length = 256) {
        unsigned major = 0, minor = 0;
        wchar_t rest = 0;
        if (swscanf(name, L"%x.%x%lc", &major, &minor, &rest) != 2)
            continue;
        if (major == wMaj && minor >= wMin && (!version || minor > bestMinor)) {
            version = name;
            bestMinor = minor;
        }
    }
    RegCloseKey(key);
    if (!version)
        return TYPE_E_LIBNOTREGISTERED;
    // The locale asked for, then its language alone, then the neutral one.
    const std::wstring versionKey = libraryKey + L"\\" + *version + L"\\";
    for (LCID candidate : {lcid, static_cast<LCID>(PRIMARYLANGID(LANGIDFROMLCID(lcid))), 0u}) {
        if (auto path = ReadText(versionKey + Hex(candidate) + L"\\win32", nullptr)) {
            *lpbstrPathName = SysAllocString(path->c_str());
            return *lpbstrPathName ? S_OK : E_OUTOFMEMORY;
        }
    }
    return TYPE_E_LIBNOTREGISTERED;
}

HRESULT WINAPI LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                              ITypeLib** pptlib) {
    if (!pptlib)
        return E_INVALIDARG;
    *pptlib = nullptr;
    BSTR path = nullptr;
    if (HRESULT hr = QueryPathOfRegTypeLib(rguid, wVerMajor, wVerMinor, lcid, &path); FAILED(hr))
        return hr;
    const HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, pptlib);
    SysFreeString(path);
    return hr;
}

HRESULT WINAPI RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) {
    if (!ptlib || !szFullPath)
        return E_INVALIDARG;
    TLIBATTR* attributes = nullptr;
    if (HRESULT hr = ptlib->GetLibAttr(&attributes); FAILED(hr))
        return hr;
    const TLIBATTR library = *attributes;
    ptlib->ReleaseTLibAttr(attributes);
    BSTR name = nullptr, doc = nullptr;
    ptlib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    const std::wstring title = doc && *doc ? doc : (name ? name : L"");
    SysFreeString(name);
    SysFreeString(doc);

    const std::wstring libid = GuidText(library.guid);
    const std::wstring version = VersionText(library.wMajorVerNum, library.wMinorVerNum);
    const std::wstring versionKey = L"TypeLib\\" + libid + L"\\" + version;
    bool ok =
        ClassKey(versionKey).Set(nullptr, title).ok() &&
        ClassKey(versionKey + L"\\" + Hex(library.lcid) + L"\\win32")
            .Set(nullptr, szFullPath)
            .ok() &&
        ClassKey(versionKey + L"\\FLAGS").Set(nullptr, std::to_wstring(library.wLibFlags)).ok() &&
        ClassKey(versionKey + L"\\HELPDIR").Set(nullptr, szHelpDir ? szHelpDir : L"").ok();
    ForEachRegisteredInterface(
        ptlib, [&](REFGUID iid, const std::wstring& interfaceName, const wchar_t* proxy) {
            const std::wstring key = L"Interface\\" + GuidText(iid);
            ok = ok && ClassKey(key).Set(nullptr, interfaceName).ok() &&
                 ClassKey(key + L"\\ProxyStubClsid").Set(nullptr, proxy).ok() &&
                 ClassKey(key + L"\\ProxyStubClsid32").Set(nullptr, proxy).ok() &&
                 ClassKey(key + L"\\TypeLib").Set(nullptr, libid).Set(L"Version", version).ok();
        });
    return ok ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT WINAPI UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                 SYSKIND syskind) {
    if (syskind != SYS_WIN32)
        return TYPE_E_REGISTRYACCESS;
    const std::wstring libid = GuidText(libID);
    const std::wstring libraryKey = L"TypeLib\\" + libid;
    const std::wstring versionKey = libraryKey + L"\\" + VersionText(wVerMajor, wVerMinor);
    const std::wstring localeKey = versionKey + L"\\" + Hex(lcid);
    auto path = ReadText(localeKey + L"\\win32", nullptr);
    if (!path)
        return TYPE_E_REGISTRYACCESS;

    // The interfaces go when they still belong to this library; a library that
    // can no longer be read leaves them.
    ITypeLib* library = nullptr;
    if (SUCCEEDED(LoadTypeLibEx(path->c_str(), REGKIND_NONE, &library))) {
        ForEachRegisteredInterface(library, [&](REFGUID iid, const std::wstring&, const wchar_t*) {
            const std::wstring key = L"Interface\\" + GuidText(iid);
            auto owner = ReadText(key + L"\\TypeLib", nullptr);
            if (owner && SameName(*owner, libid))
                RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
        });
        library->Release();
    }

    LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, localeKey.c_str());
    // The version's own keys go with its last locale, the library's key with
    // its last version.
    if (status == ERROR_SUCCESS && OnlyVersionKeysLeft(versionKey))
        status = RegDeleteTreeW(HKEY_CLASSES_ROOT, versionKey.c_str());
    if (status == ERROR_SUCCESS && !HasSubkeys(libraryKey))
        status = RegDeleteTreeW(HKEY_CLASSES_ROOT, libraryKey.c_str());
    return status == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS;
}
