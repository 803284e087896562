// The sample server built with the platform's ATL, loaded as a module: class
// factory, object lifetime and the module's lock, aggregation, error
// information, dispatch over the type library, and registration.
#include <windows.h>
#include <atlbase.h>
#include <objbase.h>
#include <oleauto.h>

#include "atl_server/sample_server.h"
#include "module_files.h"
#include "temp_root.h"

#include <gtest/gtest.h>

#include "class_registration.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

using sample::ISample;

constexpr const wchar_t* kServerPath = L"C:\\Program Files\\Sample\\Sample.dll";

std::wstring Guid(REFGUID guid) {
    wchar_t text[39];
    StringFromGUID2(guid, text, 39);
    return text;
}

size_t SubkeyCount(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
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

// An outer object that aggregates the sample: it answers IUnknown itself and
// counts its references.
class Outer final : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

class AtlServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallModule(BV_ATL_SAMPLE_SERVER_FILE, kServerPath);
        m_module = LoadLibraryW(kServerPath);
        ASSERT_NE(m_module, nullptr);
        m_getClassObject = Export<decltype(m_getClassObject)>("DllGetClassObject");
        m_canUnloadNow = Export<decltype(m_canUnloadNow)>("DllCanUnloadNow");
        m_registerServer = Export<decltype(m_registerServer)>("DllRegisterServer");
        m_unregisterServer = Export<decltype(m_unregisterServer)>("DllUnregisterServer");
        m_liveObjects = Export<decltype(m_liveObjects)>("SampleLiveObjects");
        m_lockCount = Export<decltype(m_lockCount)>("SampleLockCount");
    }
    void TearDown() override {
        if (m_module)
            FreeLibrary(m_module);
    }

    template <class F>
    F Export(const char* name) {
        auto function =
            reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
        EXPECT_NE(function, nullptr) << name;
        return function;
    }

    CComPtr<IClassFactory> Factory() {
        CComPtr<IClassFactory> factory;
        EXPECT_EQ(m_getClassObject(__uuidof(sample::Sample), IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)),
                  S_OK);
        return factory;
    }

    CComPtr<ISample> Create() {
        CComPtr<ISample> object;
        EXPECT_EQ(Factory()->CreateInstance(nullptr, __uuidof(ISample),
                                            reinterpret_cast<void**>(&object)),
                  S_OK);
        return object;
    }

    // Writes the server's library text to a file and registers it there.
    void RegisterLibraryFile() {
        const auto file = platform::host::HostPathFromWindows(L"C:\\libs\\sample.tlb");
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << sample::kTypeLibrary;
        CComPtr<ITypeLib> library;
        ASSERT_EQ(LoadTypeLibEx(L"C:\\libs\\sample.tlb", REGKIND_REGISTER, &library), S_OK);
    }

    TempRoot m_root;
    HMODULE m_module = nullptr;
    HRESULT(STDAPICALLTYPE* m_getClassObject)(REFCLSID, REFIID, LPVOID*) = nullptr;
    HRESULT(STDAPICALLTYPE* m_canUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* m_registerServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* m_unregisterServer)() = nullptr;
    LONG (*m_liveObjects)() = nullptr;
    LONG (*m_lockCount)() = nullptr;
};

TEST_F(AtlServerTest, ClassObjectIsMadeOnceAndOnlyForTheServersClass) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_getClassObject(__uuidof(ISample), IID_IClassFactory, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(m_getClassObject(__uuidof(sample::Sample), IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(m_getClassObject(__uuidof(sample::Sample), IID_IDispatch, &object), E_NOINTERFACE);

    CComPtr<IClassFactory> first = Factory();
    CComPtr<IClassFactory> second = Factory();
    ASSERT_NE(first.p, nullptr);
    EXPECT_EQ(first.p, second.p);
    // A client's reference to the kept class factory holds the module.
    EXPECT_EQ(m_lockCount(), 1);
    EXPECT_EQ(m_canUnloadNow(), S_FALSE);
    second.Release();
    first.Release();
    EXPECT_EQ(m_lockCount(), 0);
    EXPECT_EQ(m_canUnloadNow(), S_OK);

    CComPtr<IClassFactory> factory = Factory();
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Release();
    EXPECT_EQ(m_lockCount(), 1);
    EXPECT_EQ(m_canUnloadNow(), S_FALSE);
    Factory()->LockServer(FALSE);
    EXPECT_EQ(m_canUnloadNow(), S_OK);
}

TEST_F(AtlServerTest, ObjectsHoldTheModuleAndAnswerTheirMap) {
    CComPtr<ISample> object = Create();
    ASSERT_NE(object.p, nullptr);
    EXPECT_EQ(m_liveObjects(), 1);
    EXPECT_EQ(m_lockCount(), 1);
    EXPECT_EQ(m_canUnloadNow(), S_FALSE);

    CComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(object.QueryInterface(&support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(__uuidof(ISample)), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    // One identity whichever interface is asked.
    EXPECT_TRUE(object.IsEqualObject(support));
    CComPtr<IDispatch> dispatch;
    ASSERT_EQ(support->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(static_cast<IDispatch*>(object.p), dispatch.p);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(object->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    support.Release();
    dispatch.Release();
    object.Release();
    EXPECT_EQ(m_liveObjects(), 0);  // FinalRelease ran
    EXPECT_EQ(m_canUnloadNow(), S_OK);
}

TEST_F(AtlServerTest, AggregatedObjectDelegatesToTheOuterUnknown) {
    Outer outer;
    CComPtr<IClassFactory> factory = Factory();
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, __uuidof(ISample), &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);

    CComPtr<IUnknown> inner;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)),
              S_OK);
    EXPECT_EQ(outer.references, 1u);  // the inner object does not hold its outer one
    EXPECT_EQ(m_liveObjects(), 1);

    ISample* sample = nullptr;
    ASSERT_EQ(inner->QueryInterface(__uuidof(ISample), reinterpret_cast<void**>(&sample)), S_OK);
    EXPECT_EQ(outer.references, 2u);  // references on the interfaces count on the outer object
    IUnknown* controlling = nullptr;
    ASSERT_EQ(sample->Outer(&controlling), S_OK);
    EXPECT_EQ(controlling, static_cast<IUnknown*>(&outer));
    controlling->Release();
    sample->Release();
    EXPECT_EQ(outer.references, 1u);

    // The inner unknown answers IUnknown with itself.
    CComPtr<IUnknown> again;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again.p, inner.p);
    again.Release();
    inner.Release();
    EXPECT_EQ(m_liveObjects(), 0);
    factory.Release();
    EXPECT_EQ(m_canUnloadNow(), S_OK);
}

TEST_F(AtlServerTest, ErrorSetsTheThreadsErrorInformation) {
    // The source is the class's ProgID as registered.
    HKEY key = nullptr;
    const std::wstring progIdKey = L"CLSID\\" + Guid(__uuidof(sample::Sample)) + L"\\ProgID";
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, progIdKey.c_str(), &key), ERROR_SUCCESS);
    const std::wstring progId = L"Sample.Sample.1";
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(progId.c_str()),
                   static_cast<DWORD>((progId.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    CComPtr<ISample> object = Create();
    EXPECT_EQ(object->Fail(), E_ACCESSDENIED);
    CComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    CComBSTR description, source;
    GUID guid{};
    info->GetDescription(&description);
    info->GetSource(&source);
    info->GetGUID(&guid);
    EXPECT_TRUE(description == L"The sample failed.");
    EXPECT_TRUE(source == L"Sample.Sample.1");
    EXPECT_EQ(guid, __uuidof(ISample));
    // Taken once: the slot is empty afterwards.
    CComPtr<IErrorInfo> empty;
    EXPECT_EQ(GetErrorInfo(0, &empty), S_FALSE);
}

TEST_F(AtlServerTest, DispatchAnswersFromTheRegisteredTypeLibrary) {
    CComPtr<ISample> object = Create();
    UINT count = 0;
    EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    CComPtr<ITypeInfo> info;
    EXPECT_EQ(object->GetTypeInfo(0, 0, &info), TYPE_E_LIBNOTREGISTERED);

    RegisterLibraryFile();
    EXPECT_EQ(object->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    ASSERT_EQ(object->GetTypeInfo(0, 0, &info), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->guid, __uuidof(ISample));
    EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
    info->ReleaseTypeAttr(attributes);

    // The interface describes no members of its own.
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Fail")};
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    DISPPARAMS none{};
    EXPECT_EQ(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST_F(AtlServerTest, RegistrationWritesScriptsAndLibraryAndUnregistrationUndoesThem) {
    ASSERT_TRUE(SetThreadLocale(0x0407));
    ASSERT_EQ(m_registerServer(), S_OK);
    EXPECT_EQ(GetThreadLocale(), 0x0407u);  // restored

    const std::wstring classKey = L"CLSID\\" + Guid(__uuidof(sample::Sample));
    EXPECT_EQ(ClassText(L"AppID\\" + std::wstring(sample::kAppId)), L"Sample");
    EXPECT_EQ(ClassText(L"AppID\\Sample.DLL", L"AppID"), sample::kAppId);
    EXPECT_EQ(ClassText(classKey), L"Sample Class");
    EXPECT_EQ(ClassText(classKey, L"AppID"), sample::kAppId);
    EXPECT_EQ(ClassText(classKey + L"\\InprocServer32"), kServerPath);
    EXPECT_EQ(ClassText(classKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ClassText(L"Sample.Sample\\CurVer"), L"Sample.Sample.1");
    const std::wstring libKey = L"TypeLib\\" + Guid(__uuidof(sample::SampleLib));
    EXPECT_EQ(ClassText(libKey + L"\\1.0\\0\\win32"), kServerPath);
    EXPECT_EQ(ClassText(libKey + L"\\1.0\\HELPDIR"), L"C:\\Program Files\\Sample");
    EXPECT_EQ(ClassText(L"Interface\\" + Guid(__uuidof(ISample)) + L"\\TypeLib"),
              Guid(__uuidof(sample::SampleLib)));

    // Registering again leaves one class key, replaced whole.
    HKEY stale = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, (classKey + L"\\Stale").c_str(), &stale),
              ERROR_SUCCESS);
    RegCloseKey(stale);
    ASSERT_EQ(m_registerServer(), S_OK);
    EXPECT_EQ(SubkeyCount(L"CLSID"), 1u);
    EXPECT_FALSE(ClassKeyExists(classKey + L"\\Stale"));

    // Activation through the registry reaches the registered module, and the
    // type library found through the registry answers for the object.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        CComPtr<ISample> object;
        ASSERT_EQ(object.CoCreateInstance(__uuidof(sample::Sample), nullptr, CLSCTX_INPROC_SERVER),
                  S_OK);
        CComPtr<ITypeInfo> info;
        EXPECT_EQ(object->GetTypeInfo(0, 0, &info), S_OK);
    }
    CoUninitialize();

    ASSERT_EQ(m_unregisterServer(), S_OK);
    EXPECT_FALSE(ClassKeyExists(classKey));
    EXPECT_FALSE(ClassKeyExists(L"Sample.Sample"));
    EXPECT_FALSE(ClassKeyExists(L"Sample.Sample.1"));
    EXPECT_FALSE(ClassKeyExists(libKey));
    EXPECT_FALSE(ClassKeyExists(L"Interface\\" + Guid(__uuidof(ISample))));
    EXPECT_FALSE(ClassKeyExists(L"AppID\\Sample.DLL"));
    // The shared parents stay.
    EXPECT_TRUE(ClassKeyExists(L"CLSID"));
    EXPECT_TRUE(ClassKeyExists(L"AppID"));
}

}  // namespace
