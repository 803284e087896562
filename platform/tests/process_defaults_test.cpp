// A test finds the process as it was when the program started, whatever the
// test before it changed. Under ctest each test has a process of its own; run
// whole, the first test here changes the process and the second, which runs
// after it, finds none of the changes.
#include <windows.h>

#include "call_fault_support.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "temp_root.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kLeftKey[] = L"Software\\LeftBehind";

TEST(ProcessDefaults, AChangingTestLeavesItsChangesBehind) {
    TempRoot root;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, kLeftKey, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 12, 0, 0, 0});
    ASSERT_TRUE(platform::host::SetAnsiCodePage(932));
    platform::host::SetUserName(L"Someone");
    SetThreadLocale(0x0407);
    ArmFailure(L"Items.Count", E_FAIL);
    EXPECT_EQ(platform::calls::EnterMember(L"Items", L"Count"), E_FAIL);
}

TEST(ProcessDefaults, TheNextTestFindsTheProcessAsItStarted) {
    TempRoot root;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kLeftKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(platform::host::IsVirtualClock());
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(platform::host::UserName(), L"User");
    EXPECT_EQ(GetThreadLocale(), GetUserDefaultLCID());
    EXPECT_TRUE(platform::calls::Armed().empty());
    EXPECT_TRUE(platform::calls::Census().empty());
    EXPECT_EQ(platform::calls::EnterMember(L"Items", L"Count"), S_OK);
}

}  // namespace
