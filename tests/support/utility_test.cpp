#include "support/utility/brevint_helper.h"
#include "support/utility/outlook_version.h"

#include <objbase.h>
#include <oleauto.h>

#include "platform/clock.h"
#include "log_files.h"
#include "module_files.h"
#include "registry_fixture.h"
#include "test_thread.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace {

using Strings = CBrevintHelper;

TEST(StringOperations, ReplaceOnceOrAll) {
    std::wstring text = L"|Blocked| of |Blocked|";
    Strings::Replace(text, L"|Blocked|", L"7", false);
    EXPECT_EQ(text, L"7 of |Blocked|");
    text = L"|Blocked| of |Blocked|";
    Strings::Replace(text, L"|Blocked|", L"7", true);
    EXPECT_EQ(text, L"7 of 7");
    text = L"line|br|line";
    Strings::Replace(text, L"|Processed|", L"9", false);
    EXPECT_EQ(text, L"line|br|line");
    // Any empty string leaves the text as it is.
    Strings::Replace(text, L"|br|", L"", true);
    EXPECT_EQ(text, L"line|br|line");
    Strings::Replace(text, L"", L"x", true);
    EXPECT_EQ(text, L"line|br|line");
    // Exact comparison: another letter case is not found.
    Strings::Replace(text, L"|BR|", L"\r\n", true);
    EXPECT_EQ(text, L"line|br|line");
}

TEST(StringOperations, ReplaceIgnoringCase) {
    std::wstring text = L"Total: |TOTALMAILS| and |totalmails|";
    Strings::ReplaceI(text, L"|TotalMails|", L"12", false);
    EXPECT_EQ(text, L"Total: 12 and |totalmails|");
    Strings::ReplaceI(text, L"|TotalMails|", L"3", true);
    EXPECT_EQ(text, L"Total: 12 and 3");
}

TEST(StringOperations, SubstringIgnoringCase) {
    EXPECT_TRUE(Strings::IsSubstringConsisted(L"made by brevint software", L"Brevint"));
    EXPECT_TRUE(Strings::IsSubstringConsisted(L"BREVINT", L"brevint"));
    EXPECT_TRUE(Strings::IsSubstringConsisted(L"anything", L""));
    EXPECT_FALSE(Strings::IsSubstringConsisted(L"Brevin", L"Brevint"));
    EXPECT_FALSE(Strings::IsSubstringConsisted(L"", L"x"));
}

// An application object with only a Version property.
class FakeApplication : public IDispatch {
  public:
    explicit FakeApplication(const wchar_t* version, HRESULT invokeResult = S_OK)
        : m_version(version), m_invokeResult(invokeResult) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (count != 1 || std::wstring(names[0]) != L"Version")
            return DISP_E_UNKNOWNNAME;
        ids[0] = kVersionId;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != kVersionId || !(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;
        if (FAILED(m_invokeResult))
            return m_invokeResult;
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(m_version);
        return S_OK;
    }

  private:
    static constexpr DISPID kVersionId = 17;
    const wchar_t* m_version;
    HRESULT m_invokeResult;
    ULONG m_references = 1;
};

class UtilityTest : public RegistryTest {
  protected:
    void SetUp() override { MakeLogsFolder(); }
    static bool Logged(const std::string& line) {
        auto lines = LogLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST_F(UtilityTest, OutlookVersionIsTheMajorNumber) {
    FakeApplication application(L"11.0.8312");
    DWORD major = 0;
    std::wstring text;
    ASSERT_TRUE(GetOutlookVersion(&application, major, text));
    EXPECT_EQ(major, 11u);
    EXPECT_EQ(text, L"11.0");
    EXPECT_TRUE(Logged("GetOutlookVersion - OL version: 11.0.8312"));
}

TEST_F(UtilityTest, OutlookVersionFailures) {
    DWORD major = 0;
    std::wstring text;
    EXPECT_FALSE(GetOutlookVersion(nullptr, major, text));
    FakeApplication noDot(L"12");
    EXPECT_FALSE(GetOutlookVersion(&noDot, major, text));
    EXPECT_EQ(major, 0u);
    FakeApplication failing(L"11.0", DISP_E_EXCEPTION);
    EXPECT_FALSE(GetOutlookVersion(&failing, major, text));
    FakeApplication empty(L"");
    EXPECT_FALSE(GetOutlookVersion(&empty, major, text));
    EXPECT_EQ(major, 0u);
    EXPECT_TRUE(Logged("GetOutlookVersion - Could not get OL version"));
}

TEST_F(UtilityTest, FileExistsOnlyWhenItOpens) {
    InstallModule(BV_REGISTERING_MODULE_FILE, L"C:\\Install\\Core.dll");
    EXPECT_TRUE(Strings::IsFileExist(L"C:\\Install\\Core.dll"));
    EXPECT_FALSE(Strings::IsFileExist(L"C:\\Install\\Other.dll"));
    EXPECT_FALSE(Strings::IsFileExist(L""));
}

class RegistrationTest : public UtilityTest {
  protected:
    void SetUp() override {
        UtilityTest::SetUp();
        m_registrations = m_root.path() / "registrations.txt";
        ::setenv("BV_REGISTER_LOG", m_registrations.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("BV_REGISTER_LOG");
        ::unsetenv("BV_REGISTER_HANG");
    }
    size_t Registrations() const { return ModuleLog(m_registrations).Events().size(); }

    std::filesystem::path m_registrations;
};

TEST_F(RegistrationTest, RegisteringRunsTheExportToItsEnd) {
    InstallModule(BV_REGISTERING_MODULE_FILE, L"C:\\Install\\Core.dll");
    EXPECT_TRUE(Strings::RegDll(L"C:\\Install\\Core.dll"));
    EXPECT_EQ(Registrations(), 1u);
    EXPECT_FALSE(Strings::RegDll(L"C:\\Install\\Missing.dll"));
    EXPECT_TRUE(Logged("CBrevintHelper::RegDll - Loadlib error: C:\\Install\\Missing.dll"));
}

TEST_F(RegistrationTest, AHangingRegistrationTimesOutAfterTenSeconds) {
    InstallModule(BV_REGISTERING_MODULE_FILE, L"C:\\Install\\Core.dll");
    platform::host::UseVirtualClock(SYSTEMTIME{2026, 12, 6, 5, 12, 0, 0, 0});
    ::setenv("BV_REGISTER_HANG", "1", 1);
    bool registered = true;
    {
        TestThread caller([&] {
            registered = Strings::RegDll(L"C:\\Install\\Core.dll");
            return DWORD{0};
        });
        // The caller's wait is the only timed one; the export sleeps without end.
        while (!platform::host::NextDeadline())
            std::this_thread::yield();
        EXPECT_EQ(*platform::host::NextDeadline(), 10000u);
        platform::host::AdvanceClock(9999);
        EXPECT_EQ(WaitForSingleObject(caller.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
        platform::host::AdvanceClock(1);
    }
    EXPECT_FALSE(registered);
    EXPECT_EQ(Registrations(), 1u);
}

TEST_F(RegistrationTest, MissingCoreMeansBrokenWithoutRegistering) {
    SetString(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Installation", L"Directory",
              L"C:\\Install\\");
    EXPECT_FALSE(CBrevintHelper().IsDLLError());
    EXPECT_EQ(Registrations(), 0u);
}

TEST_F(RegistrationTest, UnregisteredCoreIsRegisteredAgain) {
    SetString(HKEY_LOCAL_MACHINE, L"Software\\Brevint\\Installation", L"Directory",
              L"C:\\Install\\");
    InstallModule(BV_REGISTERING_MODULE_FILE, L"C:\\Install\\Core.dll");
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_TRUE(CBrevintHelper().IsDLLError());
    CoUninitialize();
    EXPECT_EQ(Registrations(), 1u);
    auto lines = LogLines();
    auto http = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("CBrevintHelper::IsDLLError - http", 0) == 0;
    });
    EXPECT_NE(http, lines.end());
}

}  // namespace
