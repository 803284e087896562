// Modules: loading by path and by bare name, load counts, entry points, exports.
#include "module_files.h"
#include "temp_root.h"
#include "test_thread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

namespace {

using Events = std::vector<std::string>;

const std::wstring kTestDir = L"C:\\Program Files\\Test\\";
const std::wstring kTestModule = kTestDir + L"test_module.dll";

class ModuleTest : public ::testing::Test {
  protected:
    TempRoot root;
    ModuleLog log{root.path() / "module.log"};

    std::wstring FileNameOf(HMODULE module) {
        wchar_t name[MAX_PATH] = {};
        return GetModuleFileNameW(module, name, MAX_PATH) ? name : L"";
    }
};

using AddFunction = int (*)(int, int);

TEST_F(ModuleTest, LoadsAreCountedAndTheLastFreeUnloads) {
    InstallModule(BV_TEST_MODULE_FILE, kTestModule);
    HMODULE first = LoadLibraryW(kTestModule.c_str());
    ASSERT_NE(first, nullptr);
    // Another spelling of the same file is the same module, counted again.
    HMODULE second = LoadLibraryW(L"c:\\PROGRAM FILES\\test\\Test_Module.DLL");
    EXPECT_EQ(second, first);
    EXPECT_EQ(GetModuleHandleW(L"TEST_MODULE"), first);
    EXPECT_EQ(FileNameOf(first), kTestModule);

    // Through void*, as GCC warns of a direct cast between function types.
    auto add = reinterpret_cast<AddFunction>(
        reinterpret_cast<void*>(GetProcAddress(first, "TestModuleAdd")));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);

    ASSERT_TRUE(FreeLibrary(first));
    EXPECT_EQ(GetModuleHandleW(L"test_module.dll"), first);
    EXPECT_EQ(log.Events(), (Events{"test:attach"}));

    ASSERT_TRUE(FreeLibrary(first));
    EXPECT_EQ(log.Events(), (Events{"test:attach", "test:detach", "test:unload"}));
    SetLastError(0);
    EXPECT_EQ(GetModuleHandleW(L"test_module.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(GetModuleFileNameW(first, nullptr, 0), 0u);

    // Loaded again after the unload, the module starts afresh.
    HMODULE again = LoadLibraryW(kTestModule.c_str());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(log.Events().back(), "test:attach");
    FreeLibrary(again);
}

TEST_F(ModuleTest, AnEntryPointRefusingAttachFailsTheLoad) {
    InstallModule(BV_REFUSING_MODULE_FILE, kTestDir + L"refusing_module.dll");
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW((kTestDir + L"refusing_module.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_DLL_INIT_FAILED);
    // The refusal is followed by the detach, then the unload.
    EXPECT_EQ(log.Events(), (Events{"refusing:attach", "refusing:detach", "refusing:unload"}));
    EXPECT_EQ(GetModuleHandleW(L"refusing_module.dll"), nullptr);
}

TEST_F(ModuleTest, MissingFilesAndExportsFailWithWindowsErrors) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(L"C:\\Nowhere\\absent.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(L"absent"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(kTestDir.c_str()), nullptr);  // a folder
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    std::ofstream(platform::host::HostPathFromWindows(L"C:\\text.dll")) << "not a module";
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(L"C:\\text.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);

    InstallModule(BV_TEST_MODULE_FILE, kTestModule);
    HMODULE module = LoadLibraryW(kTestModule.c_str());
    ASSERT_NE(module, nullptr);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    // What the module's dependencies export is not the module's own.
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, "LoadLibraryW"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    FreeLibrary(module);
}

TEST_F(ModuleTest, DecoratedNamesAreFoundExactlyAsWritten) {
    InstallModule(BV_TEST_MODULE_FILE, kTestModule);
    HMODULE module = LoadLibraryW(kTestModule.c_str());
    ASSERT_NE(module, nullptr);
    using TwiceFunction = int (*)(int);
    auto twice = reinterpret_cast<TwiceFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "TestModuleTwice@4")));
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(twice(21), 42);
    // Neither the bare name, another decoration nor the module's own
    // spelling of the "@" is that export.
    for (const char* other : {"TestModuleTwice", "TestModuleTwice@8", "TestModuleTwice$4"}) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(module, other), nullptr) << other;
        EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND) << other;
    }
    FreeLibrary(module);
}

TEST_F(ModuleTest, BareNamesFollowTheSearchOrder) {
    InstallModule(BV_TEST_MODULE_FILE, L"C:\\Windows\\system32\\test_module.dll");
    HMODULE system = LoadLibraryW(L"test_module");
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(FileNameOf(system), L"C:\\Windows\\system32\\test_module.dll");
    FreeLibrary(system);

    // The process image's folder comes before the system folder.
    const std::wstring imageFolderCopy =
        L"C:\\Program Files\\Microsoft Office\\Office12\\test_module.dll";
    InstallModule(BV_TEST_MODULE_FILE, imageFolderCopy);
    HMODULE beside = LoadLibraryW(L"TEST_MODULE.DLL");
    ASSERT_NE(beside, nullptr);
    EXPECT_EQ(FileNameOf(beside), imageFolderCopy);
    FreeLibrary(beside);

    // A module already loaded under that name is taken wherever it lies.
    InstallModule(BV_TEST_MODULE_FILE, kTestModule);
    HMODULE elsewhere = LoadLibraryExW(kTestModule.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_NE(elsewhere, nullptr);
    EXPECT_EQ(LoadLibraryW(L"test_module.dll"), elsewhere);
    EXPECT_TRUE(FreeLibrary(elsewhere));
    EXPECT_TRUE(FreeLibrary(elsewhere));
    EXPECT_EQ(GetModuleHandleW(L"test_module.dll"), nullptr);
}

TEST_F(ModuleTest, TheProcessImageAndRefusedArguments) {
    HMODULE image = GetModuleHandleW(nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(FileNameOf(image), L"C:\\Program Files\\Microsoft Office\\Office12\\OUTLOOK.EXE");
    EXPECT_EQ(GetModuleHandleW(L"outlook.exe"), image);
    EXPECT_TRUE(FreeLibrary(image));
    EXPECT_EQ(GetModuleHandleW(nullptr), image);

    SetLastError(0);
    EXPECT_EQ(LoadLibraryExW(kTestModule.c_str(), nullptr, 0x2 /* as a data file */), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(0);
    EXPECT_FALSE(DisableThreadLibraryCalls(reinterpret_cast<HMODULE>(0x1000)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(ModuleTest, ConcurrentLoadsAttachOnce) {
    InstallModule(BV_TEST_MODULE_FILE, kTestModule);
    HMODULE loaded[4] = {};
    {
        std::vector<std::unique_ptr<TestThread>> threads;
        for (auto& slot : loaded)
            threads.push_back(std::make_unique<TestThread>([&slot] {
                slot = LoadLibraryW(kTestModule.c_str());
                return DWORD{0};
            }));
    }
    for (HMODULE module : loaded)
        EXPECT_EQ(module, loaded[0]);
    EXPECT_TRUE(DisableThreadLibraryCalls(loaded[0]));
    for (HMODULE module : loaded)
        EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(log.Events(), (Events{"test:attach", "test:detach", "test:unload"}));
}

class ResourceTest : public ModuleTest {
  protected:
    void SetUp() override {
        InstallModule(BV_TEST_MODULE_FILE, kTestModule);
        module = LoadLibraryW(kTestModule.c_str());
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override { FreeLibrary(module); }

    std::string Text(HRSRC resource) {
        const auto* data = static_cast<const char*>(LockResource(LoadResource(module, resource)));
        return data ? std::string(data, SizeofResource(module, resource)) : "";
    }
    DWORD FindError(LPCWSTR name, LPCWSTR type) {
        SetLastError(0);
        EXPECT_EQ(FindResourceW(module, name, type), nullptr);
        return GetLastError();
    }

    HMODULE module = nullptr;
};

TEST_F(ResourceTest, FoundByIdentifierOrNameAndType) {
    EXPECT_EQ(Text(FindResourceW(module, MAKEINTRESOURCEW(101), L"REGISTRY")),
              "HKCR { NoRemove CLSID }");
    // Text types and names compare ignoring case; "#n" names the number n.
    EXPECT_EQ(Text(FindResourceW(module, L"#101", L"registry")), "HKCR { NoRemove CLSID }");
    EXPECT_EQ(Text(FindResourceW(module, L"CONFIG", RT_RCDATA)), "named");
    EXPECT_EQ(Text(FindResourceW(module, MAKEINTRESOURCEW(2), RT_MANIFEST)),
              "<assembly manifestVersion='1.0'/>");
    EXPECT_EQ(SizeofResource(module, FindResourceW(module, MAKEINTRESOURCEW(201), RT_DIALOG)), 4u);

    EXPECT_EQ(FindError(MAKEINTRESOURCEW(1), RT_BITMAP), ERROR_RESOURCE_TYPE_NOT_FOUND);
    EXPECT_EQ(FindError(MAKEINTRESOURCEW(102), L"REGISTRY"), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(FindError(L"101", L"REGISTRY"), ERROR_RESOURCE_NAME_NOT_FOUND);
}

TEST_F(ResourceTest, LanguagesAreChosenExactlyOrAnyForNeutral) {
    EXPECT_EQ(Text(FindResourceExW(module, RT_RCDATA, MAKEINTRESOURCEW(7), 0x0407)), "german");
    EXPECT_EQ(Text(FindResourceExW(module, RT_RCDATA, MAKEINTRESOURCEW(7), 0x0409)), "english");
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(7), RT_RCDATA), nullptr);
    SetLastError(0);
    EXPECT_EQ(FindResourceExW(module, RT_RCDATA, MAKEINTRESOURCEW(7), 0x040C), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_LANG_NOT_FOUND);
}

TEST_F(ResourceTest, StringTablesComeInBlocksOfSixteen) {
    // Strings 100 and 101 share block 7; string 17 is in block 2.
    HRSRC block = FindResourceW(module, MAKEINTRESOURCEW(7), RT_STRING);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(SizeofResource(module, block), (16 + 4 + 13) * sizeof(WCHAR));
    const auto* data = static_cast<const WCHAR*>(LockResource(LoadResource(module, block)));
    EXPECT_EQ(data[4], 4);  // strings 96..99 are empty; 100 has 4 characters
    EXPECT_EQ(std::wstring(data + 5, 4), L"BVOL");
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(2), RT_STRING), nullptr);
    EXPECT_EQ(FindError(MAKEINTRESOURCEW(1), RT_STRING), ERROR_RESOURCE_NAME_NOT_FOUND);

    wchar_t buffer[32];
    EXPECT_EQ(LoadStringW(module, 100, buffer, 32), 4);
    EXPECT_STREQ(buffer, L"BVOL");
    EXPECT_EQ(LoadStringW(module, 17, buffer, 32), 19);
    EXPECT_STREQ(buffer, L"In the second block");
    // Cut to the buffer, always terminated.
    EXPECT_EQ(LoadStringW(module, 101, buffer, 7), 6);
    EXPECT_STREQ(buffer, L"Second");
    EXPECT_EQ(LoadStringW(module, 101, buffer, 1), 0);
    EXPECT_STREQ(buffer, L"");
    // Missing strings: in a present block and in an absent one.
    EXPECT_EQ(LoadStringW(module, 102, buffer, 32), 0);
    EXPECT_EQ(LoadStringW(module, 5, buffer, 32), 0);

    // A zero-sized buffer receives a read-only pointer to the unterminated string.
    const WCHAR* direct = nullptr;
    EXPECT_EQ(LoadStringW(module, 101, reinterpret_cast<LPWSTR>(&direct), 0), 13);
    ASSERT_NE(direct, nullptr);
    EXPECT_EQ(std::wstring(direct, 13), L"Second string");
}

TEST_F(ModuleTest, AModuleWithoutResourcesHasNoResourceSection) {
    // The process image of the tests carries no resources either.
    SetLastError(0);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_STRING), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
    wchar_t buffer[8] = L"x";
    EXPECT_EQ(LoadStringW(nullptr, 1, buffer, 8), 0);
    EXPECT_STREQ(buffer, L"");
}

}  // namespace
