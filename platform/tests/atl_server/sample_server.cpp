// A small in-process server written the way an add-in is: a module object, one
// co-class with a dual interface, registry scripts and a type library.
#include <atlbase.h>
#include <atlcom.h>

#include "sample_server.h"

#include "platform/module_resources.h"

using sample::ISample;

namespace {

LONG liveObjects = 0;
LONG finalReleases = 0;

class CSampleModule : public ATL::CAtlDllModuleT<CSampleModule> {
  public:
    DECLARE_LIBID(__uuidof(sample::SampleLib))
    DECLARE_REGISTRY_APPID_RESOURCEID(101, "{6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A14}")
};

CSampleModule _AtlModule;

class ATL_NO_VTABLE CSample
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CSample, &__uuidof(sample::Sample)>,
      public ISupportErrorInfoImpl<&__uuidof(ISample)>,
      public IDispatchImpl<ISample, &__uuidof(ISample), &__uuidof(sample::SampleLib), 1, 0> {
  public:
    DECLARE_REGISTRY_RESOURCEID(102)
    DECLARE_PROTECT_FINAL_CONSTRUCT()

    BEGIN_COM_MAP(CSample)
    COM_INTERFACE_ENTRY(ISample)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    HRESULT FinalConstruct() {
        ++liveObjects;
        return S_OK;
    }
    void FinalRelease() {
        --liveObjects;
        ++finalReleases;
    }

    HRESULT STDMETHODCALLTYPE Fail() override {
        return Error(L"The sample failed.", __uuidof(ISample), E_ACCESSDENIED);
    }
    HRESULT STDMETHODCALLTYPE Outer(IUnknown** ppOuter) override {
        return QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ppOuter));
    }
};

OBJECT_ENTRY_AUTO(__uuidof(sample::Sample), CSample)

const char kAppIdScript[] = R"(
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

const char kClassScript[] = R"(
HKCR
{
    Sample.Sample.1 = s 'Sample Class'
    {
        CLSID = s '{6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A12}'
    }
    Sample.Sample = s 'Sample Class'
    {
        CLSID = s '{6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A12}'
        CurVer = s 'Sample.Sample.1'
    }
    NoRemove CLSID
    {
        ForceRemove {6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A12} = s 'Sample Class'
        {
            ProgID = s 'Sample.Sample.1'
            VersionIndependentProgID = s 'Sample.Sample'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            val AppID = s '%APPID%'
            'TypeLib' = s '{6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A13}'
        }
    }
}
)";

const platform::resources::Resource kResources[] = {
    {L"REGISTRY", MAKEINTRESOURCEW(101), 0, kAppIdScript, sizeof kAppIdScript - 1},
    {L"REGISTRY", MAKEINTRESOURCEW(102), 0, kClassScript, sizeof kClassScript - 1},
    {L"TYPELIB", MAKEINTRESOURCEW(1), 0, sample::kTypeLibrary, sizeof sample::kTypeLibrary - 1},
};

}  // namespace

BV_MODULE_RESOURCES(kResources, nullptr);

#define SAMPLE_EXPORT extern "C" __attribute__((visibility("default")))

SAMPLE_EXPORT BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
    return _AtlModule.DllMain(hInstance, dwReason, lpReserved);
}
SAMPLE_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return _AtlModule.DllCanUnloadNow();
}
SAMPLE_EXPORT HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return _AtlModule.DllGetClassObject(rclsid, riid, ppv);
}
SAMPLE_EXPORT HRESULT STDAPICALLTYPE DllRegisterServer() {
    return _AtlModule.DllRegisterServer();
}
SAMPLE_EXPORT HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return _AtlModule.DllUnregisterServer();
}
SAMPLE_EXPORT LONG SampleLiveObjects() {
    return liveObjects;
}
SAMPLE_EXPORT LONG SampleFinalReleases() {
    return finalReleases;
}
// The module's lock count, which DllCanUnloadNow answers from.
SAMPLE_EXPORT LONG SampleLockCount() {
    return _AtlModule.GetLockCount();
}
