// BVOL0000.dll as Outlook and the installer meet it: a real module loaded
// from the installation folder, registered and unregistered through its
// exports, its class reached by ProgID through the registry.
#include <gtest/gtest.h>
#include <msaddndr.h>
#include <objbase.h>
#include <platform/filesystem.h>

#include <filesystem>
#include <cstring>
#include <set>
#include <string>

#include "addin/server/bvol_interfaces.h"
#include "class_registration.h"
#include "support/log_files.h"
#include "temp_root.h"

namespace {

constexpr wchar_t kModulePath[] = L"C:\\Program Files\\Brevint\\BVOL0000.dll";
constexpr wchar_t kClassKey[] = L"CLSID\\{0FD630F1-F29D-4DA9-953F-48F1A09F76B5}";

// Every key and value under an HKEY_CLASSES_ROOT key, one line each.
void Dump(HKEY key, const std::wstring& path, std::set<std::wstring>& lines) {
    lines.insert(path);
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        BYTE data[1024];
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS)
            break;
        std::wstring value = type == REG_SZ ? std::wstring(reinterpret_cast<wchar_t*>(data))
                                            : L"(type " + std::to_wstring(type) + L")";
        lines.insert(path + L" [" + name + L"] = " + value);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        ASSERT_EQ(RegOpenKeyExW(key, name, 0, KEY_READ, &child), ERROR_SUCCESS);
        Dump(child, path + L"\\" + name, lines);
        RegCloseKey(child);
    }
}

std::set<std::wstring> ClassesRoot() {
    std::set<std::wstring> lines;
    Dump(HKEY_CLASSES_ROOT, L"HKCR", lines);
    return lines;
}

class ComServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto folder = platform::host::HostPathFromWindows(L"C:\\Program Files\\Brevint");
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(BV_ADDIN_MODULE_FILE, folder / "BVOL0000.dll");
        m_module = LoadLibraryW(kModulePath);
        ASSERT_NE(m_module, nullptr) << GetLastError();
    }
    void TearDown() override {
        if (m_module)
            FreeLibrary(m_module);
    }

    template <class Function>
    Function Export(const char* name) {
        return reinterpret_cast<Function>(
            reinterpret_cast<void (*)()>(GetProcAddress(m_module, name)));
    }
    HRESULT Register() { return Export<HRESULT (*)()>("DllRegisterServer")(); }
    HRESULT Unregister() { return Export<HRESULT (*)()>("DllUnregisterServer")(); }

    TempRoot m_root;
    HMODULE m_module = nullptr;
};

TEST_F(ComServerTest, RegistrationWritesExactlyTheScriptsAndTheTypeLibrary) {
    std::set<std::wstring> before = ClassesRoot();
    ASSERT_EQ(Register(), S_OK);
    std::set<std::wstring> written;
    for (const std::wstring& line : ClassesRoot()) {
        if (!before.count(line))
            written.insert(line);
    }
    const std::wstring clsid = L"{0FD630F1-F29D-4DA9-953F-48F1A09F76B5}";
    const std::wstring libid = L"{0CB1E29C-658C-4A14-95E6-0AF593BD04CF}";
    const std::wstring appid = L"{A170B338-3926-4059-B28C-105D1FB17C23}";
    const std::wstring iid = L"{22CC3930-371B-4E98-B3DC-194BCD3DCC7A}";
    std::set<std::wstring> expected = {
        L"HKCR\\AppID",
        L"HKCR\\AppID\\" + appid,
        L"HKCR\\AppID\\" + appid + L" [] = BVOL",
        L"HKCR\\AppID\\BVOL.DLL",
        L"HKCR\\AppID\\BVOL.DLL [AppID] = " + appid,
        L"HKCR\\BVOL0000.Connect.1",
        L"HKCR\\BVOL0000.Connect.1 [] = Connect Class",
        L"HKCR\\BVOL0000.Connect.1\\CLSID",
        L"HKCR\\BVOL0000.Connect.1\\CLSID [] = " + clsid,
        L"HKCR\\BVOL0000.Connect",
        L"HKCR\\BVOL0000.Connect [] = Connect Class",
        L"HKCR\\BVOL0000.Connect\\CLSID",
        L"HKCR\\BVOL0000.Connect\\CLSID [] = " + clsid,
        L"HKCR\\BVOL0000.Connect\\CurVer",
        L"HKCR\\BVOL0000.Connect\\CurVer [] = BVOL0000.Connect.1",
        L"HKCR\\CLSID",
        L"HKCR\\CLSID\\" + clsid,
        L"HKCR\\CLSID\\" + clsid + L" [] = Connect Class",
        L"HKCR\\CLSID\\" + clsid + L" [AppID] = " + appid,
        L"HKCR\\CLSID\\" + clsid + L"\\ProgID",
        L"HKCR\\CLSID\\" + clsid + L"\\ProgID [] = BVOL0000.Connect.1",
        L"HKCR\\CLSID\\" + clsid + L"\\VersionIndependentProgID",
        L"HKCR\\CLSID\\" + clsid + L"\\VersionIndependentProgID [] = BVOL0000.Connect",
        L"HKCR\\CLSID\\" + clsid + L"\\Programmable",
        L"HKCR\\CLSID\\" + clsid + L"\\InprocServer32",
        L"HKCR\\CLSID\\" + clsid + L"\\InprocServer32 [] = " + kModulePath,
        L"HKCR\\CLSID\\" + clsid + L"\\InprocServer32 [ThreadingModel] = Apartment",
        L"HKCR\\CLSID\\" + clsid + L"\\TypeLib",
        L"HKCR\\CLSID\\" + clsid + L"\\TypeLib [] = " + libid,
    };
    // The type library's keys; checked by kind, their values by the type
    // library's own tests.
    std::set<std::wstring> typeLibrary;
    for (const std::wstring& line : written) {
        if (line.starts_with(L"HKCR\\TypeLib") || line.starts_with(L"HKCR\\Interface"))
            typeLibrary.insert(line);
    }
    for (const std::wstring& line : typeLibrary)
        written.erase(line);
    EXPECT_EQ(written, expected);
    EXPECT_TRUE(
        typeLibrary.count(L"HKCR\\TypeLib\\" + libid + L"\\1.0 [] = BVOL 1.0 Type Library"));
    EXPECT_TRUE(
        typeLibrary.count(L"HKCR\\TypeLib\\" + libid + L"\\1.0\\0\\win32 [] = " + kModulePath));
    EXPECT_TRUE(typeLibrary.count(L"HKCR\\Interface\\" + iid + L" [] = IConnect"));
}

TEST_F(ComServerTest, RegisteringTwiceLeavesOneClassKeyAndUnregisteringKeepsTheParents) {
    ASSERT_EQ(Register(), S_OK);
    std::set<std::wstring> once = ClassesRoot();
    ASSERT_EQ(Register(), S_OK);
    EXPECT_EQ(ClassesRoot(), once);

    ASSERT_EQ(Unregister(), S_OK);
    EXPECT_TRUE(ClassKeyExists(L"AppID"));
    EXPECT_TRUE(ClassKeyExists(L"CLSID"));
    EXPECT_FALSE(ClassKeyExists(kClassKey));
    EXPECT_FALSE(ClassKeyExists(L"BVOL0000.Connect"));
    EXPECT_FALSE(ClassKeyExists(L"BVOL0000.Connect.1"));
    EXPECT_FALSE(ClassKeyExists(L"AppID\\BVOL.DLL"));
    EXPECT_FALSE(ClassKeyExists(L"TypeLib\\{0CB1E29C-658C-4A14-95E6-0AF593BD04CF}"));
}

TEST_F(ComServerTest, TheClassFactoryAnswersOnlyForConnect) {
    auto getClassObject = Export<HRESULT (*)(REFCLSID, REFIID, LPVOID*)>("DllGetClassObject");
    void* factory = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(IID_IConnect, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(getClassObject(CLSID_Connect, IID_IClassFactory, nullptr), E_POINTER);
    ASSERT_EQ(getClassObject(CLSID_Connect, IID_IClassFactory, &factory), S_OK);
    static_cast<IClassFactory*>(factory)->Release();
}

TEST_F(ComServerTest, OutlookReachesTheAddInByProgIdAndConnects) {
    std::filesystem::create_directories(
        platform::host::HostPathFromWindows(L"C:\\Users\\User\\AppData\\Roaming\\Brevint\\Logs"));
    ASSERT_EQ(Register(), S_OK);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    auto canUnloadNow = Export<HRESULT (*)()>("DllCanUnloadNow");
    {
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(L"BVOL0000.Connect", &clsid), S_OK);
        EXPECT_TRUE(InlineIsEqualGUID(clsid, CLSID_Connect));
        AddInDesignerObjects::_IDTExtensibility2* addin = nullptr;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                   __uuidof(AddInDesignerObjects::_IDTExtensibility2),
                                   reinterpret_cast<void**>(&addin)),
                  S_OK);
        EXPECT_EQ(canUnloadNow(), S_FALSE);
        EXPECT_EQ(
            addin->OnConnection(nullptr, AddInDesignerObjects::ext_cm_Startup, nullptr, nullptr),
            S_OK);
        ISupportErrorInfo* errorInfo = nullptr;
        ASSERT_EQ(
            addin->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&errorInfo)),
            S_OK);
        EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IConnect), S_OK);
        EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
        errorInfo->Release();
        EXPECT_EQ(addin->OnDisconnection(AddInDesignerObjects::ext_dm_HostShutdown, nullptr), S_OK);
        addin->Release();
    }
    EXPECT_EQ(canUnloadNow(), S_OK);
    CoUninitialize();

    std::vector<std::string> lines = LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "----> CConnect::OnConnectionImpl - Enter"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "<---- CConnect::~CConnect - Exit"),
              lines.end());
}

TEST_F(ComServerTest, TheAddInObjectCanBeAggregated) {
    ASSERT_EQ(Register(), S_OK);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    // An outer object that only counts its references.
    struct Outer : IUnknown {
        LONG refs = 1;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
        ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    } outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_Connect, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&inner)),
              S_OK);
    IConnect* connect = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IConnect, reinterpret_cast<void**>(&connect)), S_OK);
    // The aggregated object's interfaces count on the outer object.
    EXPECT_EQ(outer.refs, 2);
    connect->Release();
    EXPECT_EQ(outer.refs, 1);
    inner->Release();
    CoUninitialize();
}

}  // namespace

namespace {

// The value of a key in a version block, found by walking its nested blocks
// by their lengths, as a version reader does.
std::wstring VersionString(const BYTE* block, size_t size, const std::wstring& key) {
    auto align = [](size_t offset) { return (offset + 3) & ~size_t{3}; };
    size_t offset = 0;
    while (offset + 6 <= size) {
        WORD length, valueLength, type;
        std::memcpy(&length, block + offset, 2);
        std::memcpy(&valueLength, block + offset + 2, 2);
        std::memcpy(&type, block + offset + 4, 2);
        if (length == 0 || offset + length > size)
            return L"(bad length)";
        std::wstring name;
        size_t at = offset + 6;
        for (WCHAR c; std::memcpy(&c, block + at, sizeof c), at += sizeof c, c != 0;)
            name += static_cast<wchar_t>(c);
        at = align(at);
        if (name == key && type == 1) {
            std::wstring value;
            for (WCHAR c; std::memcpy(&c, block + at, sizeof c), at += sizeof c, c != 0;)
                value += static_cast<wchar_t>(c);
            return value;
        }
        size_t children = align(at + (type == 1 ? valueLength * sizeof(WCHAR) : valueLength));
        if (children < offset + length) {
            std::wstring found = VersionString(block + children, offset + length - children, key);
            if (!found.empty())
                return found;
        }
        offset = align(offset + length);
    }
    return L"";
}

std::string ResourceText(HMODULE module, LPCWSTR type, int id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!found)
        return "";
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(data, SizeofResource(module, found));
}

TEST_F(ComServerTest, TheModuleCarriesItsStringManifestAndVersion) {
    wchar_t name[16] = {};
    EXPECT_EQ(LoadStringW(m_module, 100, name, 16), 4);
    EXPECT_STREQ(name, L"BVOL");
    EXPECT_NE(
        ResourceText(m_module, RT_MANIFEST, 2).find(R"(name="BrevintAddin" version="1.0.0.0")"),
        std::string::npos);

    HRSRC version = FindResourceW(m_module, MAKEINTRESOURCEW(1), RT_VERSION);
    ASSERT_NE(version, nullptr);
    auto* block = static_cast<const BYTE*>(LockResource(LoadResource(m_module, version)));
    size_t size = SizeofResource(m_module, version);
    EXPECT_EQ(VersionString(block, size, L"InternalName"), L"BVOL.dll");
    EXPECT_EQ(VersionString(block, size, L"FileDescription"), L"Antispam plugin for Outlook");
    EXPECT_EQ(VersionString(block, size, L"OriginalFilename"), L"BVOL0000.dll");
}

}  // namespace

namespace {

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

std::wstring TextOf(HWND window) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

TEST_F(ComServerTest, TheModulesDialogsAreHiddenAndTheProgressDialogHasItsControls) {
    HWND addin = CreateDialogParamW(m_module, MAKEINTRESOURCEW(201), nullptr, IgnoreMessages, 0);
    ASSERT_NE(addin, nullptr);
    EXPECT_FALSE(IsWindowVisible(addin));
    EXPECT_FALSE(IsWindowEnabled(addin));
    EXPECT_EQ(TextOf(addin), L"Dialog");
    EXPECT_EQ(GetWindow(addin, GW_CHILD), nullptr);

    HWND worker = CreateDialogParamW(m_module, MAKEINTRESOURCEW(206), nullptr, IgnoreMessages, 0);
    ASSERT_NE(worker, nullptr);
    EXPECT_FALSE(IsWindowVisible(worker));
    EXPECT_TRUE(IsWindowEnabled(worker));

    HWND progress = CreateDialogParamW(m_module, MAKEINTRESOURCEW(204), nullptr, IgnoreMessages, 0);
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(IsWindowVisible(progress));
    EXPECT_EQ(ClassOf(GetDlgItem(progress, 201)), L"msctls_progress32");
    EXPECT_EQ(TextOf(GetDlgItem(progress, 202)), L"Stop");
    EXPECT_EQ(TextOf(GetDlgItem(progress, 203)), L"Close");
    EXPECT_EQ(TextOf(GetDlgItem(progress, 204)), L"Email in Folder:");
    EXPECT_EQ(ClassOf(GetDlgItem(progress, 209)), L"Static");
    EXPECT_EQ(TextOf(GetDlgItem(progress, 209)), L"0");

    for (HWND window : {addin, worker, progress})
        EXPECT_TRUE(DestroyWindow(window));
}

}  // namespace
