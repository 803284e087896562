// Keys as callers reach them: creation and opening, names and their case,
// handles and their rights, the predefined keys, enumeration order.
#include "registry_test_support.h"

using namespace std::literals;

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
