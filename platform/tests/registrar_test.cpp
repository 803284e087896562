#include <windows.h>
#include <atliface.h>
#include <fileapi.h>
#include <oaidl.h>

#include "temp_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

// The registrar of one test, released at its end.
class RegistrarTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(BvCreateRegistrar(&m_registrar), S_OK); }
    void TearDown() override {
        if (m_registrar) {
            EXPECT_EQ(m_registrar->Release(), 0u);
        }
    }

    TempRoot m_root;
    IRegistrar* m_registrar = nullptr;
};

bool KeyExists(HKEY root, const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

struct Value {
    DWORD type = 0;
    std::vector<BYTE> data;

    std::wstring Text() const {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()),
                          data.size() / sizeof(wchar_t));
        return text;
    }
    DWORD Dword() const { return *reinterpret_cast<const DWORD*>(data.data()); }
};

std::optional<Value> ReadValue(HKEY root, const wchar_t* path, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    Value value;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        status = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

// A REG_SZ as the registrar writes it: the text and its terminator.
std::wstring Sz(const wchar_t* text) {
    return std::wstring(text) + L'\0';
}

std::optional<std::wstring> ReadText(HKEY root, const wchar_t* path, const wchar_t* name) {
    auto value = ReadValue(root, path, name);
    if (!value || value->type != REG_SZ)
        return std::nullopt;
    return value->Text();
}

void CreateKey(HKEY root, const wchar_t* path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(root, path, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetText(HKEY root, const wchar_t* path, const wchar_t* name, const wchar_t* text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(root, path, &key), ERROR_SUCCESS);
    const std::wstring data = Sz(text);
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

size_t CountSubkeys(HKEY root, const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    size_t count = 0;
    wchar_t name[256];
    for (DWORD length = 256; RegEnumKeyExW(key, static_cast<DWORD>(count), name, &length, nullptr,
                                           nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         length = 256)
        ++count;
    RegCloseKey(key);
    return count;
}

// A server's two scripts in the shape real COM servers use: a shared AppID
// parent, a class key replaced whole, ProgIDs, named values, replacements.
constexpr const wchar_t* kAppIdScript =
    LR"(
HKCR
{
    NoRemove AppID
    {
        '%APPID%' = s 'Sample'
        'Sample.DLL'
        {
            val AppID = s '%APPID%'
        }
    }
}
)";

constexpr const wchar_t* kClassScript =
    LR"(
HKCR
{
    Sample.Thing.1 = s 'Thing Class'
    {
        CLSID = s '{11111111-2222-3333-4444-555555555555}'
    }
    Sample.Thing = s 'Thing Class'
    {
        CLSID = s '{11111111-2222-3333-4444-555555555555}'
        CurVer = s 'Sample.Thing.1'
    }
    NoRemove CLSID
    {
        ForceRemove {11111111-2222-3333-4444-555555555555} = s 'Thing Class'
        {
            ProgID = s 'Sample.Thing.1'
            VersionIndependentProgID = s 'Sample.Thing'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            val AppID = s '%APPID%'
            'TypeLib' = s '{99999999-8888-7777-6666-555555555555}'
        }
    }
}
)";

constexpr const wchar_t* kClassKey = L"CLSID\\{11111111-2222-3333-4444-555555555555}";
constexpr const wchar_t* kAppId = L"{AAAAAAAA-0000-0000-0000-000000000001}";

void AddServerReplacements(IRegistrar* registrar) {
    ASSERT_EQ(registrar->AddReplacement(L"APPID", kAppId), S_OK);
    ASSERT_EQ(registrar->AddReplacement(L"Module", L"C:\\Program Files\\Sample\\Sample.dll"), S_OK);
}

TEST_F(RegistrarTest, ServerScriptsRegisterAndUnregisterLeavingSharedKeys) {
    AddServerReplacements(m_registrar);
    ASSERT_EQ(m_registrar->StringRegister(kAppIdScript), S_OK);
    ASSERT_EQ(m_registrar->StringRegister(kClassScript), S_OK);

    EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, (std::wstring(L"AppID\\") + kAppId).c_str(), nullptr),
              Sz(L"Sample"));
    EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, L"AppID\\Sample.DLL", L"AppID"), Sz(kAppId));
    EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, L"Sample.Thing", L""), Sz(L"Thing Class"));
    EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, L"Sample.Thing\\CurVer", nullptr), Sz(L"Sample.Thing.1"));
    EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, kClassKey, nullptr), Sz(L"Thing Class"));
    EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, kClassKey, L"AppID"), Sz(kAppId));
    const std::wstring server = std::wstring(kClassKey) + L"\\InprocServer32";
    EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, server.c_str(), nullptr),
              Sz(L"C:\\Program Files\\Sample\\Sample.dll"));
    EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, server.c_str(), L"ThreadingModel"), Sz(L"Apartment"));
    const std::wstring programmable = std::wstring(kClassKey) + L"\\Programmable";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, programmable.c_str()));
    EXPECT_FALSE(ReadValue(HKEY_CLASSES_ROOT, programmable.c_str(), nullptr));
    // HKCR is a view of the machine's classes.
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Sample.Thing.1\\CLSID"));

    // Another server's class stays through our unregistration.
    CreateKey(HKEY_CLASSES_ROOT, L"CLSID\\{OTHER}");
    ASSERT_EQ(m_registrar->StringUnregister(kClassScript), S_OK);
    ASSERT_EQ(m_registrar->StringUnregister(kAppIdScript), S_OK);

    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Sample.Thing"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Sample.Thing.1"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"AppID\\Sample.DLL"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, (std::wstring(L"AppID\\") + kAppId).c_str()));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\{OTHER}"));

    // Unregistering what is already gone succeeds and changes nothing.
    EXPECT_EQ(m_registrar->StringUnregister(kClassScript), S_OK);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
}

TEST_F(RegistrarTest, RegisteringTwiceReplacesForceRemoveKeysWhole) {
    AddServerReplacements(m_registrar);
    ASSERT_EQ(m_registrar->StringRegister(kClassScript), S_OK);
    // Stale content from an older version of the class.
    const std::wstring stale = std::wstring(kClassKey) + L"\\Programmable\\Old";
    CreateKey(HKEY_CLASSES_ROOT, stale.c_str());
    SetText(HKEY_CLASSES_ROOT, kClassKey, L"Obsolete", L"x");
    SetText(HKEY_CLASSES_ROOT, L"Sample.Thing", L"Kept", L"y");

    ASSERT_EQ(m_registrar->StringRegister(kClassScript), S_OK);

    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, stale.c_str()));
    EXPECT_FALSE(ReadValue(HKEY_CLASSES_ROOT, kClassKey, L"Obsolete"));
    EXPECT_EQ(CountSubkeys(HKEY_CLASSES_ROOT, kClassKey), 5u);  // ProgID ... TypeLib
    EXPECT_EQ(CountSubkeys(HKEY_CLASSES_ROOT, L"CLSID"), 1u);
    // A plain key is only opened again: what others added stays.
    EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, L"Sample.Thing", L"Kept"), Sz(L"y"));
    EXPECT_EQ(CountSubkeys(HKEY_CLASSES_ROOT, L"Sample.Thing"), 2u);
}

TEST_F(RegistrarTest, UnregistrationKeepsKeysHoldingContentTheScriptDoesNotName) {
    constexpr const wchar_t* script =
        LR"(
HKCU
{
    NoRemove Software
    {
        Sample = s 'top'
        {
            Settings
            {
                val Level = d '3'
            }
            Shared
            Empty = s 'x'
            NoRemove Kept
            {
                Inner
            }
        }
    }
}
)";
    ASSERT_EQ(m_registrar->StringRegister(script), S_OK);
    SetText(HKEY_CURRENT_USER, L"Software\\Sample\\Settings", L"UserChoice", L"1");
    CreateKey(HKEY_CURRENT_USER, L"Software\\Sample\\Shared\\Plugin");

    ASSERT_EQ(m_registrar->StringUnregister(script), S_OK);

    // Named values the script lists go; a foreign value keeps its key.
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, L"Software\\Sample\\Settings", L"Level"));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, L"Software\\Sample\\Settings", L"UserChoice"), Sz(L"1"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Sample\\Shared\\Plugin"));
    // A key with only its default value goes; a NoRemove key stays with its
    // listed children removed; the parent stays because of what is left.
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Sample\\Empty"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Sample\\Kept"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Sample\\Kept\\Inner"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Sample"));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, L"Software\\Sample", nullptr), Sz(L"top"));
}

TEST_F(RegistrarTest, ValueTypesQuotingAndReplacements) {
    ASSERT_EQ(m_registrar->AddReplacement(L"name", L"Sub Key"), S_OK);
    ASSERT_EQ(m_registrar->AddReplacement(L"NAME", L"Replaced"), S_OK);  // the later one wins
    constexpr const wchar_t* script =
        LR"(
HKEY_CURRENT_USER { 'Types'
{
    val Decimal = d '4294967295'
    val Hex = d '0x1F'
    val Blob = b '00FFa1'
    val Empty = b ''
    val List = m 'one\0two'
    val Quote = s 'it''s 100%% %Name%'
    '%NAME% here' = d 7
    Delete Gone
} }
)";
    CreateKey(HKEY_CURRENT_USER, L"Types\\Gone\\Child");
    ASSERT_EQ(m_registrar->StringRegister(script), S_OK);

    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Types", L"Decimal")->Dword(), 0xFFFFFFFFu);
    auto hex = ReadValue(HKEY_CURRENT_USER, L"Types", L"Hex");
    EXPECT_EQ(hex->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(hex->Dword(), 31u);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Types", L"Blob")->data,
              (std::vector<BYTE>{0x00, 0xFF, 0xA1}));
    auto empty = ReadValue(HKEY_CURRENT_USER, L"Types", L"Empty");
    EXPECT_EQ(empty->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_TRUE(empty->data.empty());
    auto list = ReadValue(HKEY_CURRENT_USER, L"Types", L"List");
    EXPECT_EQ(list->type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(list->Text(), std::wstring(L"one\0two\0\0", 9));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, L"Types", L"Quote"), Sz(L"it's 100% Replaced"));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Types\\Replaced here", nullptr)->Dword(), 7u);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Types\\Gone"));

    // Without its replacement the script no longer reads.
    ASSERT_EQ(m_registrar->ClearReplacements(), S_OK);
    EXPECT_EQ(m_registrar->StringUnregister(script), DISP_E_EXCEPTION);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Types"));
}

TEST_F(RegistrarTest, ScriptErrorsFailAndChangeNothing) {
    // Each script starts with a valid key, so anything applied before the
    // error would show.
    const std::wstring good = L"HKCU { Written = s 'x' } HKCU { ";
    const wchar_t* broken[] = {
        L"A { B }",                      // unbalanced brace
        L"A } }",                        // one brace too many
        L"A = s 'unterminated }",        // quote left open
        L"A = s '%UNKNOWN%' }",          // no such replacement
        L"A = s '50% }' }",              // a lone percent
        L"A = d '12x' }",                // not a number
        L"A = d '4294967296' }",         // beyond 32 bits
        L"A = d '-1' }",                 // no sign
        L"A = b '123' }",                // half a byte
        L"A = b 'GG' }",                 // not hexadecimal
        L"A = q 'text' }",               // no such type
        L"A = }",                        // no value
        L"val = s 'x' }",                // value without a name
        L"ForceRemove val V = s 'x' }",  // modifier a value cannot take
        L"'' }",                         // empty key name
        L"} HKXX { }",                   // no such root
        L"} 'HKCU' { }",                 // a quoted root is a name
        L"A = s 'x' } HKCU",             // root without a block
    };
    for (const wchar_t* tail : broken) {
        const std::wstring script = good + tail;
        EXPECT_EQ(m_registrar->StringRegister(script.c_str()), DISP_E_EXCEPTION) << tail;
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Written")) << tail;
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"A")) << tail;
    }
    // The same prefix with a proper end is fine.
    EXPECT_EQ(m_registrar->StringRegister((good + L"A }").c_str()), S_OK);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Written"));
    EXPECT_EQ(m_registrar->StringRegister(L""), S_OK);
    EXPECT_EQ(m_registrar->StringRegister(nullptr), E_INVALIDARG);
}

TEST_F(RegistrarTest, KeywordsAndRootsIgnoreCaseButQuotedWordsAreNames) {
    ASSERT_EQ(m_registrar->StringRegister(
                  L"hkey_current_user { noremove Software { 'val' = s 'v' VAL x = S 'y' } }"),
              S_OK);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, L"Software\\val", nullptr), Sz(L"v"));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, L"Software", L"x"), Sz(L"y"));
}

TEST_F(RegistrarTest, FilesAndInterfaces) {
    {
        std::filesystem::create_directories(m_root.path() / "drive_c");
        std::ofstream file(m_root.path() / "drive_c" / "script.rgs");
        file << "HKCU { FromFile = s 'caf\xE9' }";  // ANSI text (1252)
    }
    EXPECT_EQ(m_registrar->FileRegister(L"C:\\script.rgs"), S_OK);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, L"FromFile", nullptr), Sz(L"caf\u00E9"));
    EXPECT_EQ(m_registrar->FileUnregister(L"C:\\SCRIPT.RGS"), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"FromFile"));
    EXPECT_EQ(m_registrar->FileRegister(L"C:\\missing.rgs"),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

    // A module that is not there has no scripts to give.
    EXPECT_EQ(m_registrar->ResourceRegister(L"C:\\x.dll", 101, L"REGISTRY"),
              HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(m_registrar->ResourceUnregisterSz(L"C:\\x.dll", L"101", L"REGISTRY"),
              HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(m_registrar->ResourceRegister(nullptr, 101, L"REGISTRY"), E_INVALIDARG);

    IRegistrarBase* base = nullptr;
    ASSERT_EQ(m_registrar->QueryInterface(IID_IRegistrarBase, reinterpret_cast<void**>(&base)),
              S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(base), static_cast<IUnknown*>(m_registrar));
    base->Release();
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_registrar->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(m_registrar->AddReplacement(nullptr, L"x"), E_INVALIDARG);
}

}  // namespace
