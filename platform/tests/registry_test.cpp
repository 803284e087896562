#include <windows.h>

#include "platform/registry.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace std::literals;
namespace host = platform::host;

namespace {

using Data = std::vector<BYTE>;

Data WideData(std::wstring_view text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    return Data(bytes, bytes + text.size() * sizeof(wchar_t));
}

template <class T>
Data PlainData(const T& value) {
    Data data(sizeof value);
    std::memcpy(data.data(), &value, sizeof value);
    return data;
}

// The key handle is closed when the test is done with it.
class Key {
  public:
    Key() = default;
    explicit Key(HKEY handle) : handle_(handle) {}
    ~Key() {
        if (handle_)
            RegCloseKey(handle_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &handle_; }
    operator HKEY() const { return handle_; }

  private:
    HKEY handle_ = nullptr;
};

LSTATUS Create(HKEY parent, const wchar_t* path, Key& key, DWORD* disposition = nullptr) {
    return RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, key.out(), disposition);
}

LSTATUS Set(HKEY key, const wchar_t* name, DWORD type, const Data& data) {
    return RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
}

struct Stored {
    DWORD type;
    Data data;
    bool operator==(const Stored&) const = default;
};

std::optional<Stored> Query(HKEY key, const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    Stored stored{type, Data(size)};
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, stored.data.data(), &size),
              ERROR_SUCCESS);
    return stored;
}

// Everything under a key, read through enumeration: path -> values in order.
using Snapshot = std::map<std::wstring, std::vector<std::tuple<std::wstring, DWORD, Data>>>;

void TakeSnapshot(HKEY key, const std::wstring& path, Snapshot& snapshot) {
    auto& values = snapshot[path];
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), type = 0, size = 0;
        LSTATUS status =
            RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, nullptr, &size);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        Data data(size + sizeof(wchar_t));
        nameLength = static_cast<DWORD>(name.size());
        ASSERT_EQ(
            RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size),
            ERROR_SUCCESS);
        data.resize(size);
        values.emplace_back(std::wstring(name.data(), nameLength), type, data);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        LSTATUS status = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        Key child;
        ASSERT_EQ(RegOpenKeyExW(key, name, 0, KEY_READ, child.out()), ERROR_SUCCESS);
        TakeSnapshot(child, path + L"\\" + name, snapshot);
    }
}

Snapshot SnapshotOf(HKEY root) {
    Snapshot snapshot;
    TakeSnapshot(root, L"", snapshot);
    return snapshot;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::filesystem::path HiveFile(const TempRoot& root, const char* hive) {
    return root.path() / "registry" / (std::string(hive) + ".reg");
}

}  // namespace

TEST(RegistryKeys, CreationMakesMissingParentsAndSaysWhetherItCreated) {
    TempRoot root;
    Key created;
    DWORD disposition = 0;
    ASSERT_EQ(
        Create(HKEY_CURRENT_USER, L"Software\\Brevint\\Clients\\Outlook", created, &disposition),
        ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    Key parent, again;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Brevint", 0, KEY_READ, parent.out()),
              ERROR_SUCCESS);
    EXPECT_EQ(
        Create(HKEY_CURRENT_USER, L"SOFTWARE\\brevint\\CLIENTS\\outlook\\", again, &disposition),
        ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

    // Both handles name one key, whatever the case used to reach it.
    ASSERT_EQ(Set(created, L"Load Count", REG_DWORD, PlainData(DWORD{3})), ERROR_SUCCESS);
    EXPECT_EQ(Query(again, L"LOAD COUNT"), (Stored{REG_DWORD, PlainData(DWORD{3})}));
    // Names keep the case they were created with.
    ASSERT_EQ(Set(again, L"load count", REG_DWORD, PlainData(DWORD{4})), ERROR_SUCCESS);
    auto values = SnapshotOf(parent)[L"\\Clients\\Outlook"];
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(std::get<0>(values[0]), L"Load Count");
    EXPECT_EQ(std::get<2>(values[0]), PlainData(DWORD{4}));
    EXPECT_EQ(SnapshotOf(HKEY_CURRENT_USER).count(L"\\Software\\Brevint\\Clients"), 1u);
}

TEST(RegistryKeys, CaseIsIgnoredBeyondAscii) {
    TempRoot root;
    Key key, same;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Überprüfung\\Αλφα", key), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"Größe", REG_DWORD, PlainData(DWORD{1})), ERROR_SUCCESS);
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, L"software\\ÜBERPRÜFUNG\\ΑΛΦΑ", 0, KEY_READ, same.out()),
        ERROR_SUCCESS);
    EXPECT_TRUE(Query(same, L"GRÖSSE") == std::nullopt);  // no expansion of ß, as on Windows
    EXPECT_TRUE(Query(same, L"GRößE").has_value());
}

TEST(RegistryKeys, EmptyOrNullSubkeyOpensTheSameKey) {
    TempRoot root;
    Key key, viaNull, viaEmpty;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Test", key), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(key, nullptr, 0, KEY_ALL_ACCESS, viaNull.out()), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(key, L"", 0, KEY_ALL_ACCESS, viaEmpty.out()), ERROR_SUCCESS);
    EXPECT_NE(static_cast<HKEY>(viaNull), static_cast<HKEY>(key));
    ASSERT_EQ(Set(viaNull, L"v", REG_DWORD, PlainData(DWORD{7})), ERROR_SUCCESS);
    EXPECT_TRUE(Query(viaEmpty, L"v").has_value());

    HKEY predefined = nullptr;
    EXPECT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, nullptr, &predefined), ERROR_SUCCESS);
    EXPECT_EQ(predefined, HKEY_CURRENT_USER);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST(RegistryKeys, NameLimitsAndBadPaths) {
    TempRoot root;
    Key key, longest, tooLong, bad;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software", key), ERROR_SUCCESS);
    EXPECT_EQ(Create(key, std::wstring(255, L'k').c_str(), longest), ERROR_SUCCESS);
    EXPECT_EQ(Create(key, std::wstring(256, L'k').c_str(), tooLong), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Create(key, L"\\Leading", bad), ERROR_BAD_PATHNAME);
    EXPECT_EQ(Set(key, std::wstring(16383, L'v').c_str(), REG_NONE, {}), ERROR_SUCCESS);
    EXPECT_EQ(Set(key, std::wstring(16384, L'v').c_str(), REG_NONE, {}), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, L"x", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
}

TEST(RegistryKeys, MissingKeyAndMissingValueAreBothFileNotFound) {
    TempRoot root;
    Key missing, key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Nowhere", 0, KEY_READ, missing.out()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(static_cast<HKEY>(missing), nullptr);
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Here", key), ERROR_SUCCESS);
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExW(key, L"Absent", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    // A key has no default value until one is set.
    EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
}

TEST(RegistryValues, ShortBuffersGetMoreDataAndTheSizeNeeded) {
    TempRoot root;
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Sizes", key), ERROR_SUCCESS);
    std::wstring text(9000, L'x');  // longer than a 16,000-byte buffer holds
    ASSERT_EQ(Set(key, L"Long", REG_SZ, WideData(std::wstring_view(text.c_str(), 9001))),
              ERROR_SUCCESS);
    const DWORD needed = 9001 * sizeof(WCHAR);

    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"Long", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, needed);
    std::vector<BYTE> buffer(16000);
    size = static_cast<DWORD>(buffer.size());
    type = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"Long", nullptr, &type, buffer.data(), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, needed);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    buffer.resize(needed);
    EXPECT_EQ(RegQueryValueExW(key, L"Long", nullptr, &type, buffer.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(buffer, WideData(std::wstring_view(text.c_str(), 9001)));

    DWORD dword = 0;
    size = 3;
    ASSERT_EQ(Set(key, L"D", REG_DWORD, PlainData(DWORD{5})), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, L"D", nullptr, nullptr, reinterpret_cast<BYTE*>(&dword), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(
        RegQueryValueExW(key, L"D", nullptr, nullptr, reinterpret_cast<BYTE*>(&dword), nullptr),
        ERROR_INVALID_PARAMETER);
}

TEST(RegistryValues, StringsAreStoredExactlyAsGiven) {
    TempRoot root;
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Strings", key), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"NoNull", REG_SZ, WideData(L"abc")), ERROR_SUCCESS);
    auto stored = Query(key, L"NoNull");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->data.size(), 3 * sizeof(WCHAR));  // no terminator was added

    // Enumeration adds the missing terminator when the buffer has room.
    wchar_t name[16];
    DWORD nameLength = 16, size = 5 * sizeof(WCHAR);
    wchar_t text[5];
    std::fill(std::begin(text), std::end(text), L'#');
    ASSERT_EQ(RegEnumValueW(key, 0, name, &nameLength, nullptr, nullptr,
                            reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 3 * sizeof(WCHAR));
    EXPECT_EQ(std::wstring(text), L"abc");
}

TEST(RegistryValues, DeletingValuesAndKeys) {
    TempRoot root;
    Key parent, child;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Del", parent), ERROR_SUCCESS);
    ASSERT_EQ(Create(parent, L"Child", child), ERROR_SUCCESS);
    ASSERT_EQ(Set(parent, L"v", REG_DWORD, PlainData(DWORD{1})), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(parent, L"V"), ERROR_SUCCESS);
    EXPECT_FALSE(Query(parent, L"v"));
    EXPECT_EQ(RegDeleteValueW(parent, L"v"), ERROR_FILE_NOT_FOUND);

    // A key with subkeys cannot be deleted; its leaf can, then it can.
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Del"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyW(parent, L"child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(parent, L"Child"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(parent, L""), ERROR_SUCCESS);  // the handle's own key
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Del"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes"), ERROR_ACCESS_DENIED);

    // Handles to the deleted keys stay valid handles to a deleted key.
    Key again;
    DWORD disposition;
    EXPECT_EQ(Set(child, L"x", REG_DWORD, PlainData(DWORD{1})), ERROR_KEY_DELETED);
    EXPECT_EQ(Query(parent, L"x"), std::nullopt);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(parent, L"x", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(Create(parent, L"Sub", again), ERROR_KEY_DELETED);
    EXPECT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Del", again, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
}

TEST(RegistryHandles, ClosedUnknownAndUnderprivilegedHandles) {
    TempRoot root;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Handles", &key), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Set(key, L"v", REG_DWORD, PlainData(DWORD{1})), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x7777)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);

    Key reader, writer;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Handles", 0, KEY_READ, reader.out()),
              ERROR_SUCCESS);
    EXPECT_EQ(Set(reader, L"v", REG_DWORD, PlainData(DWORD{1})), ERROR_ACCESS_DENIED);
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Handles", 0, KEY_SET_VALUE, writer.out()),
        ERROR_SUCCESS);
    EXPECT_EQ(Set(writer, L"v", REG_DWORD, PlainData(DWORD{1})), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(writer, L"v", nullptr, nullptr, nullptr, &size),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegQueryValueExW(reader, L"v", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
}

TEST(RegistryEnumeration, SubkeysSortedValuesInCreationOrder) {
    TempRoot root;
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Enum", key), ERROR_SUCCESS);
    for (const wchar_t* name : {L"beta", L"Alpha", L"gamma"}) {
        Key child;
        ASSERT_EQ(Create(key, name, child), ERROR_SUCCESS);
    }
    for (const wchar_t* name : {L"z", L"a", L"m"})
        ASSERT_EQ(Set(key, name, REG_NONE, {}), ERROR_SUCCESS);
    std::vector<std::wstring> subkeys;
    wchar_t name[256];
    DWORD length = 256;
    for (DWORD i = 0;
         RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = 256)
        subkeys.emplace_back(name, length);
    EXPECT_EQ(subkeys, (std::vector<std::wstring>{L"Alpha", L"beta", L"gamma"}));
    auto values = SnapshotOf(key)[L""];
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(std::get<0>(values[0]), L"z");
    EXPECT_EQ(std::get<0>(values[2]), L"m");

    length = 5;  // "Alpha" and its terminator need 6
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    length = 256;
    EXPECT_EQ(RegEnumKeyExW(key, 3, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
}

TEST(RegistryHives, ClassesRootIsTheMachinesSoftwareClasses) {
    TempRoot root;
    Key viaClasses, viaMachine, direct;
    ASSERT_EQ(Create(HKEY_CLASSES_ROOT, L"BVOL0000.Connect\\CLSID", viaClasses), ERROR_SUCCESS);
    ASSERT_EQ(Set(viaClasses, nullptr, REG_SZ, WideData(L"{guid}\0"sv)), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\BVOL0000.Connect\\CLSID", 0,
                            KEY_READ, viaMachine.out()),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(viaMachine, L""), (Stored{REG_SZ, WideData(L"{guid}\0"sv)}));
    EXPECT_NE(ReadFile(host::RegistryHiveFile(HKEY_CLASSES_ROOT))
                  .find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\BVOL0000.Connect\\CLSID]\n"
                        "@=\"{guid}\"\n"),
              std::string::npos);
    // Only the system makes keys directly under the machine's root.
    EXPECT_EQ(Create(HKEY_LOCAL_MACHINE, L"NewRoot", direct), ERROR_ACCESS_DENIED);
    EXPECT_EQ(host::RegistryHiveFile(HKEY_CURRENT_USER), HiveFile(root, "HKEY_CURRENT_USER"));
}

TEST(RegistryFiles, EveryKindOfValueSurvivesASaveAndALoad) {
    TempRoot root;
    Key key, odd;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Brevint\\Round Trip", key), ERROR_SUCCESS);
    ASSERT_EQ(Create(key, L"Ключ \"quoted\" [x] ü😀", odd), ERROR_SUCCESS);
    double date = 45266.5;  // an automation date
    const std::vector<std::tuple<const wchar_t*, DWORD, Data>> values = {
        {L"Zero", REG_DWORD, PlainData(DWORD{0})},
        {L"All ones", REG_DWORD, PlainData(DWORD{0xFFFFFFFF})},
        {L"Date", REG_BINARY, PlainData(date)},
        {L"Quad", REG_QWORD, PlainData(ULONGLONG{0x0123456789ABCDEF})},
        {L"Recheck", REG_MULTI_SZ, WideData(L"Inbox\0\0Junk\0\0"sv)},
        {L"Empty list", REG_MULTI_SZ, WideData(L"\0"sv)},
        {L"Beyond the BMP", REG_MULTI_SZ, WideData(L"😀\0x\0\0"sv)},
        {L"Path", REG_EXPAND_SZ, WideData(L"%APPDATA%\\Brevint\0"sv)},
        {L"Empty", REG_SZ, WideData(L"\0"sv)},
        {L"", REG_SZ, WideData(L"the default\0"sv)},
        {L"say \"hi\" \\ there", REG_SZ, WideData(L"C:\\Program Files\\\"q\"\\\0"sv)},
        {L"Grüße 😀", REG_SZ, WideData(L"Привет, 世界 😀\0"sv)},
        {L"No terminator", REG_SZ, WideData(L"abc"sv)},
        {L"Two lines", REG_SZ, WideData(L"one\r\ntwo\0"sv)},
        {L"Nothing", REG_NONE, {}},
        {L"Some none", REG_NONE, Data{1, 2, 3}},
        {L"Empty binary", REG_BINARY, {}},
        {L"Big endian", REG_DWORD_BIG_ENDIAN, Data{0, 0, 0, 9}},
        {L"Long", REG_BINARY, Data(300, 0xAB)},
        {L"@", REG_DWORD, PlainData(DWORD{64})},
    };
    for (const auto& [name, type, data] : values)
        ASSERT_EQ(Set(key, name, type, data), ERROR_SUCCESS) << "value " << name;
    ASSERT_EQ(Set(odd, L"x", REG_DWORD, PlainData(DWORD{1})), ERROR_SUCCESS);
    Key emptyKey;
    ASSERT_EQ(Create(key, L"Empty key", emptyKey), ERROR_SUCCESS);

    Snapshot before = SnapshotOf(HKEY_CURRENT_USER);
    ASSERT_EQ(before[L"\\Software\\Brevint\\Round Trip"].size(), values.size());
    host::ReloadRegistry();
    EXPECT_TRUE(host::RegistryLoadDiagnostics().empty())
        << host::RegistryLoadDiagnostics().front().ToString();
    EXPECT_EQ(SnapshotOf(HKEY_CURRENT_USER), before);
    // Handles opened before the reload refer to keys that are gone.
    EXPECT_EQ(Set(key, L"late", REG_DWORD, PlainData(DWORD{1})), ERROR_KEY_DELETED);
}

TEST(RegistryFiles, TheFileIsWhatRegeditWrites) {
    TempRoot root;
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Brevint", key), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"Load Count", REG_DWORD, PlainData(DWORD{10})), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"Dir", REG_SZ, WideData(L"C:\\a \"b\"\0"sv)), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"List", REG_MULTI_SZ, WideData(L"a\0b\0\0"sv)), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"Exp", REG_EXPAND_SZ, WideData(L"%x%\0"sv)), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"Q", REG_QWORD, PlainData(ULONGLONG{1})), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(HiveFile(root, "HKEY_CURRENT_USER")),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Brevint]\n"
              "\"Load Count\"=dword:0000000a\n"
              "\"Dir\"=\"C:\\\\a \\\"b\\\"\"\n"
              "\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
              "\"Exp\"=hex(2):25,00,78,00,25,00,00,00\n"
              "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
              "\n");
}

TEST(RegistryFiles, ReadsRegeditsUtf16FilesWithContinuedLines) {
    TempRoot root;
    std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevint\\Installation]\r\n"
        "\"Directory\"=\"C:\\\\Program Files\\\\Brevint\"\r\n"
        "\"Partner\"=dword:00000007\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "\r\n[HKEY_CLASSES_ROOT\\http\\shell\\open\\command]\r\n"
        "@=\"browser.exe \\\"%1\\\"\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : text)
        utf16 += std::string{c, '\0'};
    WriteFile(HiveFile(root, "HKEY_LOCAL_MACHINE"), utf16);

    Key install, browser;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Installation", 0, KEY_READ,
                            install.out()),
              ERROR_SUCCESS);
    EXPECT_TRUE(host::RegistryLoadDiagnostics().empty());
    EXPECT_EQ(Query(install, L"Directory"),
              (Stored{REG_SZ, WideData(L"C:\\Program Files\\Brevint\0"sv)}));
    EXPECT_EQ(Query(install, L"Partner"), (Stored{REG_DWORD, PlainData(DWORD{7})}));
    EXPECT_EQ(Query(install, L"Blob"), (Stored{REG_BINARY, Data{1, 2, 3, 4}}));
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, KEY_READ, browser.out()),
        ERROR_SUCCESS);
    EXPECT_EQ(Query(browser, nullptr), (Stored{REG_SZ, WideData(L"browser.exe \"%1\"\0"sv)}));
}

TEST(RegistryFiles, ADamagedFileLoadsItsGoodPartAndSaysWhatItSkipped) {
    TempRoot root;
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n"       // 1
        "\n"                                           // 2
        "[HKEY_CURRENT_USER\\Software\\Good]\n"        // 3
        "\"Before\"=dword:00000001\n"                  // 4
        "this line is nonsense\n"                      // 5
        "\"BadHex\"=hex:01,zz,03\n"                    // 6
        "\"Open\"=\"no closing quote\n"                // 7
        "\"BadDword\"=dword:123456789\n"               // 8
        "\"After\"=\"fine\"\n"                         // 9
        "[HKEY_NOWHERE\\Software]\n"                   // 10
        "\"Lost\"=dword:00000002\n"                    // 11
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Elsewhere]\n"  // 12
        "[HKEY_CURRENT_USER\\Software\\Good\\Sub]\n"   // 13
        "\"Ok\"=hex(b):02,00,00,00,00,00,00,00\n"      // 14
        "\"Cut\"=hex:01,02,\\\n";                      // 15, file ends mid-value
    WriteFile(HiveFile(root, "HKEY_CURRENT_USER"), damaged);

    testing::internal::CaptureStderr();
    Key good, sub;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Good", 0, KEY_ALL_ACCESS, good.out()),
              ERROR_SUCCESS);
    std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Query(good, L"Before"), (Stored{REG_DWORD, PlainData(DWORD{1})}));
    EXPECT_EQ(Query(good, L"After"), (Stored{REG_SZ, WideData(L"fine\0"sv)}));
    ASSERT_EQ(RegOpenKeyExW(good, L"Sub", 0, KEY_READ, sub.out()), ERROR_SUCCESS);
    EXPECT_TRUE(Query(sub, L"Ok").has_value());
    for (const wchar_t* skipped : {L"BadHex", L"Open", L"BadDword", L"Cut"})
        EXPECT_FALSE(Query(good, skipped).has_value() || Query(sub, skipped).has_value());

    std::map<unsigned, std::string> byLine;
    for (const auto& diagnostic : host::RegistryLoadDiagnostics()) {
        EXPECT_EQ(diagnostic.file, HiveFile(root, "HKEY_CURRENT_USER"));
        byLine[diagnostic.line] += diagnostic.message;
        EXPECT_NE(stderrText.find(diagnostic.ToString()), std::string::npos);
    }
    EXPECT_EQ((std::vector<unsigned>{0, 5, 6, 7, 8, 10, 11, 12, 15}), [&] {
        std::vector<unsigned> lines;
        for (const auto& [line, message] : byLine)
            lines.push_back(line);
        return lines;
    }());
    EXPECT_NE(byLine[6].find("bad hex byte \"zz\""), std::string::npos) << byLine[6];
    EXPECT_NE(byLine[7].find("unterminated"), std::string::npos) << byLine[7];
    EXPECT_NE(byLine[10].find("not in this file's hive"), std::string::npos) << byLine[10];
    EXPECT_NE(byLine[11].find("line 10"), std::string::npos) << byLine[11];
    EXPECT_NE(byLine[15].find("end of the file"), std::string::npos) << byLine[15];
    EXPECT_NE(byLine[0].find(".damaged"), std::string::npos) << byLine[0];

    // The next save drops what could not be read; the file as found is kept.
    ASSERT_EQ(Set(good, L"New", REG_DWORD, PlainData(DWORD{3})), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(HiveFile(root, "HKEY_CURRENT_USER").string() + ".damaged"), damaged);
    host::ReloadRegistry();
    EXPECT_TRUE(host::RegistryLoadDiagnostics().empty());
}

TEST(RegistryFiles, AFileWithoutItsHeaderIsStillReadAndReported) {
    TempRoot root;
    WriteFile(HiveFile(root, "HKEY_CURRENT_USER"),
              "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\X]\n\"v\"=dword:00000001\n");
    Key key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\X", 0, KEY_READ, key.out()),
              ERROR_SUCCESS);
    EXPECT_TRUE(Query(key, L"v").has_value());
    auto diagnostics = host::RegistryLoadDiagnostics();
    ASSERT_FALSE(diagnostics.empty());
    EXPECT_EQ(diagnostics[0].line, 1u);
    EXPECT_NE(diagnostics[0].message.find("header"), std::string::npos);
}

TEST(RegistryFiles, WithSavingOffChangesStayInMemoryUntilTheNextSave) {
    TempRoot root;
    const auto file = HiveFile(root, "HKEY_CURRENT_USER");
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Kept", key), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"saved", REG_DWORD, PlainData(DWORD{1})), ERROR_SUCCESS);
    const std::string saved = ReadFile(file);

    host::SetRegistrySaving(false);
    ASSERT_EQ(Set(key, L"memory", REG_DWORD, PlainData(DWORD{2})), ERROR_SUCCESS);
    Key sub;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Kept\\Sub", sub), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, L"memory"), (Stored{REG_DWORD, PlainData(DWORD{2})}));
    EXPECT_EQ(ReadFile(file), saved);
    host::FlushRegistry();  // an explicit flush still writes
    EXPECT_NE(ReadFile(file).find("\"memory\"=dword:00000002"), std::string::npos);

    ASSERT_EQ(Set(key, L"later", REG_DWORD, PlainData(DWORD{3})), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(file).find("later"), std::string::npos);
    // Switched on again, the next change writes everything kept so far.
    host::SetRegistrySaving(true);
    ASSERT_EQ(Set(key, L"on", REG_DWORD, PlainData(DWORD{4})), ERROR_SUCCESS);
    const std::string written = ReadFile(file);
    for (const char* name : {"\"later\"", "\"on\"", "Kept\\Sub]"})
        EXPECT_NE(written.find(name), std::string::npos) << name;
}

TEST(RegistryFiles, AnUnfinishedSaveLeavesTheLastWholeFile) {
    TempRoot root;
    {
        Key key;
        ASSERT_EQ(Create(HKEY_CURRENT_USER, L"Software\\Saved", key), ERROR_SUCCESS);
        ASSERT_EQ(Set(key, L"v", REG_DWORD, PlainData(DWORD{42})), ERROR_SUCCESS);
    }
    auto file = HiveFile(root, "HKEY_CURRENT_USER");
    // Left by a process that has ended since.
    pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    auto leftover = file.string() + "." + std::to_string(ended) + ".tmp";
    WriteFile(leftover, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Soft");
    host::ReloadRegistry();
    Key key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Saved", 0, KEY_READ, key.out()),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(key, L"v"), (Stored{REG_DWORD, PlainData(DWORD{42})}));
    EXPECT_FALSE(std::filesystem::exists(leftover));
    auto diagnostics = host::RegistryLoadDiagnostics();
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0].line, 0u);
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".damaged"));
}

TEST(RegistryFiles, KillingTheProcessMidSaveNeverLeavesAHalfFile) {
    TempRoot root;
    auto file = HiveFile(root, "HKEY_CURRENT_USER");
    for (int round = 0; round < 10; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Writes big values one after another until killed.
            host::ReloadRegistry();
            HKEY key;
            RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Crash", &key);
            for (unsigned n = 1;; ++n) {
                Data blob(100000, static_cast<BYTE>(n));
                RegSetValueExW(key, L"Blob", 0, REG_BINARY, blob.data(), blob.size());
            }
        }
        // Once the first value is saved, kill at a moment that varies by round.
        std::error_code noFileYet;
        while (std::filesystem::file_size(file, noFileYet) < 100000 || noFileYet)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(10 + 23 * round));
        kill(child, SIGKILL);
        int status;
        waitpid(child, &status, 0);

        host::ReloadRegistry();
        for (const auto& diagnostic : host::RegistryLoadDiagnostics())
            EXPECT_EQ(diagnostic.line, 0u) << diagnostic.ToString();  // only leftovers noted
        Key key;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Crash", 0, KEY_READ, key.out()),
                  ERROR_SUCCESS);
        auto blob = Query(key, L"Blob");
        ASSERT_TRUE(blob.has_value()) << "round " << round;
        ASSERT_EQ(blob->data.size(), 100000u);
        EXPECT_EQ(std::count(blob->data.begin(), blob->data.end(), blob->data[0]), 100000);
    }
}

TEST(RegistryThreads, ManyWritersAndReadersAtOnce) {
    TempRoot root;
    constexpr int kThreads = 8, kRounds = 30;
    std::atomic<int> failures = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            std::wstring own = L"Software\\Threads\\T" + std::to_wstring(t);
            for (int i = 0; i < kRounds; ++i) {
                Key key, shared;
                DWORD value = t * 1000 + i;
                bool ok =
                    Create(HKEY_CURRENT_USER, own.c_str(), key) == ERROR_SUCCESS &&
                    Set(key, (L"v" + std::to_wstring(i)).c_str(), REG_DWORD, PlainData(value)) ==
                        ERROR_SUCCESS &&
                    Create(HKEY_CURRENT_USER, L"Software\\Threads", shared) == ERROR_SUCCESS &&
                    Set(shared, L"Last", REG_DWORD, PlainData(value)) == ERROR_SUCCESS;
                ok = ok && Query(key, (L"v" + std::to_wstring(i)).c_str()) ==
                               Stored{REG_DWORD, PlainData(value)};
                ok = ok && Query(shared, L"Last").has_value();
                SnapshotOf(shared);  // enumerates while others add keys and values
                if (!ok)
                    ++failures;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);

    Snapshot before = SnapshotOf(HKEY_CURRENT_USER);
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(before[L"\\Software\\Threads\\T" + std::to_wstring(t)].size(),
                  static_cast<size_t>(kRounds));
    host::ReloadRegistry();
    EXPECT_EQ(SnapshotOf(HKEY_CURRENT_USER), before);  // the last save holds every change
}
