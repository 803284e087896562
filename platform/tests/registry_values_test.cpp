// Values: stored exactly as given, read into buffers of every size, deleted
// with their keys.
#include "registry_test_support.h"

using namespace std::literals;

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
