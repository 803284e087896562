// The add-in's installation check against the real filter core and safe-item
// modules, laid down and registered as an installation does.
#include "support/utility/brevint_helper.h"

#include <objbase.h>
#include <oleauto.h>

#include <brevint_core.h>
#include <bvoltool.h>

#include "class_registration.h"
#include "log_files.h"
#include "module_files.h"
#include "registry_fixture.h"

#include <algorithm>

namespace {

const std::wstring kInstall = L"C:\\Program Files\\Brevint\\";
const std::wstring kCore = kInstall + L"Core.dll";
const std::wstring kSafeItems = kInstall + L"BVOLTOOL.dll";
const std::wstring kClientSafeItems = kInstall + L"Clients\\Outlook\\BVOLTOOL.dll";

class InstallationCheckTest : public RegistryTest {
  protected:
    void SetUp() override {
        MakeLogsFolder();
        SetString(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Installation", L"Directory", kInstall);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    }
    void TearDown() override { CoUninitialize(); }

    static void InstallCore(bool registered) {
        InstallModule(BV_CORE_MODULE_FILE, kCore);
        if (registered) {
            ASSERT_EQ(RunExport(kCore, "DllRegisterServer"), S_OK);
        }
    }
    static void InstallSafeItems(const std::wstring& path, bool registered) {
        InstallModule(BV_SAFEITEM_MODULE_FILE, path);
        if (registered) {
            ASSERT_EQ(RunExport(path, "DllRegisterServer"), S_OK);
        }
    }

    // The module the class of the ProgID is registered to; empty when none.
    static std::wstring ServerOf(const wchar_t* progId) {
        CLSID clsid{};
        if (FAILED(CLSIDFromProgID(progId, &clsid)))
            return {};
        LPOLESTR text = nullptr;
        if (FAILED(StringFromCLSID(clsid, &text)))
            return {};
        std::wstring key = L"CLSID\\" + std::wstring(text) + L"\\InprocServer32";
        CoTaskMemFree(text);
        return ClassText(key).value_or(L"");
    }

    static bool LoggedStarting(const std::string& prefix) {
        auto lines = LogLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    }
};

TEST_F(InstallationCheckTest, BothLibrariesRegisteredMakeAUsableInstallation) {
    InstallCore(true);
    InstallSafeItems(kSafeItems, true);
    EXPECT_TRUE(CBrevintHelper().IsDLLError());
    EXPECT_FALSE(LoggedStarting("CBrevintHelper::IsDLLError - http"));
    EXPECT_TRUE(LoggedStarting("CBrevintHelper::IsDLLError - bvmailitem: 0"));
}

TEST_F(InstallationCheckTest, ASafeItemLibraryOutsideTheInstallationDoesNotCount) {
    InstallCore(true);
    // Registered from elsewhere, its objects can be made, but the
    // installation has no copy of its own.
    InstallSafeItems(L"C:\\Elsewhere\\BVOLTOOL.dll", true);
    EXPECT_FALSE(CBrevintHelper().IsDLLError());
    EXPECT_FALSE(LoggedStarting("CBrevintHelper::IsDLLError - bvmailitem"));
}

TEST_F(InstallationCheckTest, AnUnregisteredCoreIsRegisteredAgain) {
    InstallCore(false);
    ASSERT_EQ(ServerOf(L"Brevint.HTTP"), L"");
    // The safe-item library is not looked at once the core was repaired.
    EXPECT_TRUE(CBrevintHelper().IsDLLError());
    EXPECT_TRUE(LoggedStarting("CBrevintHelper::IsDLLError - http"));
    EXPECT_EQ(ServerOf(L"Brevint.HTTP"), kCore);

    IDispatch* http = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_BrevintHTTP, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&http)),
              S_OK);
    if (http)
        http->Release();
}

TEST_F(InstallationCheckTest, TheSafeItemLibraryIsFoundInTheOutlookClientFolder) {
    InstallCore(true);
    InstallSafeItems(kClientSafeItems, false);
    // Not registered yet: the check registers the copy it found.
    EXPECT_TRUE(CBrevintHelper().IsDLLError());
    EXPECT_EQ(ServerOf(L"BVOLTOOL.BVMailItem"), kClientSafeItems);
    // Registered now: the second check creates the item at once.
    EXPECT_TRUE(CBrevintHelper().IsDLLError());
    EXPECT_TRUE(LoggedStarting("CBrevintHelper::IsDLLError - bvmailitem: 0"));
}

TEST_F(InstallationCheckTest, ObjectsWithoutMembersAnswerThatTheMemberIsMissing) {
    InstallCore(true);
    InstallSafeItems(kSafeItems, true);
    for (const CLSID* clsid : {&CLSID_BrevintHTTP, &CLSID_BVMailItem}) {
        IDispatch* object = nullptr;
        ASSERT_EQ(CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&object)),
                  S_OK);
        UINT count = 1;
        EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 0u);
        wchar_t name[] = L"Item";
        LPOLESTR names[] = {name};
        DISPID id = 7;
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(id, DISPID_UNKNOWN);
        DISPPARAMS none{};
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(
            object->Invoke(1, IID_NULL, 0x0409, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
        object->Release();
    }
}

TEST_F(InstallationCheckTest, UnregisteringRemovesTheClasses) {
    InstallCore(true);
    InstallSafeItems(kSafeItems, true);
    EXPECT_EQ(RunExport(kCore, "DllUnregisterServer"), S_OK);
    EXPECT_EQ(RunExport(kSafeItems, "DllUnregisterServer"), S_OK);
    CLSID clsid{};
    EXPECT_NE(CLSIDFromProgID(L"Brevint.HTTP", &clsid), S_OK);
    EXPECT_NE(CLSIDFromProgID(L"BVOLTOOL.BVMailItem", &clsid), S_OK);
    EXPECT_FALSE(ClassKeyExists(L"CLSID\\{755A8D09-FDB0-43E8-B2E0-B28519461B89}"));
    EXPECT_FALSE(ClassKeyExists(L"CLSID\\{A81008FE-279F-4D80-8013-738EFAE53134}"));
}

}  // namespace
