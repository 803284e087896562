// COM activation: apartments, ProgIDs, in-process servers found through the
// registry, and when COM lets a server go.
#include "class_registration.h"
#include "module_files.h"
#include "temp_root.h"
#include "test_thread.h"

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::wstring kServerPath = L"C:\\Program Files\\Test\\test_module.dll";

// Calls the adder's "Add" through its dispatch interface, as a script would.
LONG Add(IDispatch* adder, LONG a, LONG b) {
    LPOLESTR name = const_cast<LPOLESTR>(L"Add");
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(adder->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    VARIANT args[2];
    V_VT(&args[0]) = VT_I4;
    V_I4(&args[0]) = b;  // arguments go in reverse order
    V_VT(&args[1]) = VT_I4;
    V_I4(&args[1]) = a;
    DISPPARAMS params{args, nullptr, 2, 0};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(adder->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
              S_OK);
    return V_I4(&result);
}

size_t Count(const std::vector<std::string>& events, const std::string& event) {
    return static_cast<size_t>(std::count(events.begin(), events.end(), event));
}

class ActivationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallModule(BV_TEST_MODULE_FILE, kServerPath);
        ASSERT_TRUE(RegisterAdder(kServerPath));
    }

    TempRoot root;
    ModuleLog log{root.path() / "module.log"};
};

TEST(ApartmentTest, InitialisationsAreCountedPerThreadAndKeepTheirModel) {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    EXPECT_EQ(CoInitializeEx(reinterpret_cast<LPVOID>(1), COINIT_APARTMENTTHREADED), E_INVALIDARG);

    // Another thread chooses its own model.
    TestThread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
        return DWORD{0};
    });
    CoUninitialize();
    CoUninitialize();
    // The changed-mode refusal was not counted: the thread is out of COM now.
    IUnknown* object = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(CoCreateInstance(kAdderClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
}

TEST_F(ActivationTest, AThreadWithoutCOMCreatesOnlyWhileTheMultithreadedApartmentExists) {
    HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE leave = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        TestThread member([&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            SetEvent(entered);
            WaitForSingleObject(leave, INFINITE);
            CoUninitialize();
            return DWORD{0};
        });
        WaitForSingleObject(entered, INFINITE);
        IDispatch* adder = nullptr;
        EXPECT_EQ(CoCreateInstance(kAdderClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&adder)),
                  S_OK);
        ASSERT_NE(adder, nullptr);
        adder->Release();
        SetEvent(leave);
    }
    IDispatch* adder = nullptr;
    EXPECT_EQ(CoCreateInstance(kAdderClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&adder)),
              CO_E_NOTINITIALIZED);
    CloseHandle(entered);
    CloseHandle(leave);
}

TEST_F(ActivationTest, AProgIdReachesTheModulesClassFactory) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    CLSID clsid{};
    // The version-independent ProgID names its class through CurVer.
    ASSERT_EQ(CLSIDFromProgID(L"test.adder", &clsid), S_OK);
    EXPECT_EQ(clsid, kAdderClass);
    EXPECT_EQ(CLSIDFromString(L"Test.Adder.1", &clsid), S_OK);
    EXPECT_EQ(clsid, kAdderClass);

    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(kAdderClass, &progId), S_OK);
    EXPECT_STREQ(progId, L"Test.Adder.1");
    CoTaskMemFree(progId);

    IDispatch* adder = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch,
                               reinterpret_cast<void**>(&adder)),
              S_OK);
    EXPECT_EQ(Add(adder, 2, 40), 42);
    wchar_t name[MAX_PATH] = {};
    EXPECT_GT(GetModuleFileNameW(GetModuleHandleW(L"test_module.dll"), name, MAX_PATH), 0u);
    EXPECT_STREQ(name, kServerPath.c_str());

    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    IUnknown* aggregated = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(factory->CreateInstance(adder, IID_IUnknown, reinterpret_cast<void**>(&aggregated)),
              CLASS_E_NOAGGREGATION);
    factory->Release();
    adder->Release();
    // One load of the module for COM, however many activations.
    EXPECT_EQ(Count(log.Events(), "test:attach"), 1u);
    CoUninitialize();
}

TEST_F(ActivationTest, UnknownNamesAndClassesFailAsOnWindows) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CLSID clsid = kAdderClass;
    EXPECT_EQ(CLSIDFromProgID(L"No.Such.Class", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, CLSID_NULL);
    EXPECT_EQ(CLSIDFromString(L"No.Such.Class", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(L"CLSID", &clsid), REGDB_E_CLASSNOTREG);  // a key, no class
    ASSERT_TRUE(SetClassesText(L"Broken.Class\\CLSID", nullptr, L"not a class"));
    EXPECT_EQ(CLSIDFromProgID(L"Broken.Class", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);

    const CLSID unregistered = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
    IUnknown* object = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(CoCreateInstance(unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    LPOLESTR progId = reinterpret_cast<LPOLESTR>(1);
    EXPECT_EQ(ProgIDFromCLSID(unregistered, &progId), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(progId, nullptr);
    // Only an in-process server is registered.
    EXPECT_EQ(CoCreateInstance(kAdderClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(kAdderClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
              E_POINTER);

    // A class registered to the module that the module does not serve.
    ASSERT_TRUE(SetClassesText(L"CLSID\\{00000001-0002-0003-0405-060708090A0B}\\InprocServer32",
                               nullptr, kServerPath));
    EXPECT_EQ(CoCreateInstance(unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CLASS_E_CLASSNOTAVAILABLE);
    CoUninitialize();
}

TEST_F(ActivationTest, AServerThatDoesNotLoadGivesTheLoadersError) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    const std::wstring classKey = std::wstring(L"CLSID\\") + kAdderClassText;
    IUnknown* object = nullptr;

    ASSERT_TRUE(SetClassesText(classKey + L"\\InprocServer32", nullptr,
                               L"C:\\Program Files\\Test\\missing.dll"));
    EXPECT_EQ(CoCreateInstance(kAdderClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));

    const std::wstring refusing = L"C:\\Program Files\\Test\\refusing_module.dll";
    InstallModule(BV_REFUSING_MODULE_FILE, refusing);
    ASSERT_TRUE(SetClassesText(classKey + L"\\InprocServer32", nullptr, refusing));
    EXPECT_EQ(CoCreateInstance(kAdderClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              HRESULT_FROM_WIN32(ERROR_DLL_INIT_FAILED));
    EXPECT_EQ(object, nullptr);
    CoUninitialize();
}

TEST_F(ActivationTest, UnusedServersGoWhenTheyAgree) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    IDispatch* adder = nullptr;
    ASSERT_EQ(CoCreateInstance(kAdderClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&adder)),
              S_OK);
    // The application's own load and free do not take COM's load away.
    HMODULE own = LoadLibraryW(kServerPath.c_str());
    ASSERT_NE(own, nullptr);
    FreeLibrary(own);

    CoFreeUnusedLibraries();
    EXPECT_EQ(Count(log.Events(), "test:can-unload-asked"), 1u);
    EXPECT_NE(GetModuleHandleW(L"test_module.dll"), nullptr);
    EXPECT_EQ(Add(adder, 1, 1), 2);

    adder->Release();
    CoFreeUnusedLibraries();
    EXPECT_EQ(GetModuleHandleW(L"test_module.dll"), nullptr);
    const auto events = log.Events();
    EXPECT_EQ(Count(events, "test:detach"), 1u);
    EXPECT_EQ(events.back(), "test:unload");

    // The next activation loads the server again.
    ASSERT_EQ(CoCreateInstance(kAdderClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&adder)),
              S_OK);
    EXPECT_EQ(Count(log.Events(), "test:attach"), 2u);
    adder->Release();
    CoUninitialize();
}

TEST_F(ActivationTest, TheLastUninitialiseOfTheProcessAsksEveryServer) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(kAdderClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    factory->LockServer(TRUE);
    TestThread([] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoUninitialize();  // another apartment remains open
        return DWORD{0};
    });
    EXPECT_EQ(Count(log.Events(), "test:can-unload-asked"), 0u);

    // A locked server refuses and stays.
    CoUninitialize();
    EXPECT_EQ(Count(log.Events(), "test:can-unload-asked"), 1u);
    EXPECT_NE(GetModuleHandleW(L"test_module.dll"), nullptr);

    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    factory->LockServer(FALSE);
    CoUninitialize();
    EXPECT_EQ(GetModuleHandleW(L"test_module.dll"), nullptr);
    EXPECT_EQ(log.Events().back(), "test:unload");
}

}  // namespace
