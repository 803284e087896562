// A module for the loader's and COM activation's tests. It writes what
// happens to it (entry point notifications, the destruction of its static
// objects at unload) to the host file named by BV_MODULE_LOG, one "tag:event"
// line each. As an in-process server it offers one class, an automation object
// whose "Add" method adds two numbers and whose "ThreadId" property tells the
// thread that runs the call.
#include <ole2.h>
#include <windows.h>

#include "platform/module_resources.h"
#include "platform/ref_counted.h"

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <cstdlib>

namespace {

void Record(const char* event) {
    const char* log = std::getenv("BV_MODULE_LOG");
    if (!log)
        return;
    if (FILE* file = std::fopen(log, "a")) {
        std::fprintf(file, "%s:%s\n", MODULE_TAG, event);
        std::fclose(file);
    }
}

struct UnloadWitness {
    ~UnloadWitness() { Record("unload"); }
} unloadWitness;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            // The loader has the module in its table before it runs the entry point.
            Record(GetModuleHandleW(MODULE_TAG L"_module") == instance ? "attach"
                                                                       : "attach-unknown");
#ifdef REFUSE_ATTACH
            return FALSE;
#else
            return TRUE;
#endif
        case DLL_PROCESS_DETACH:
            Record("detach");
            return TRUE;
    }
    return TRUE;
}

extern "C" __attribute__((visibility("default"))) int TestModuleAdd(int a, int b) {
    return a + b;
}

// A stdcall export under its decorated name, as a Windows module has it.
extern "C" __attribute__((visibility("default"))) int TestModuleTwice(int a) asm(
    "TestModuleTwice$4");
int TestModuleTwice(int a) {
    return 2 * a;
}

#ifndef REFUSE_ATTACH
// Resources of the kinds a COM server carries.
namespace {

const char kScript[] = "HKCR { NoRemove CLSID }";
const char kManifest[] = "<assembly manifestVersion='1.0'/>";
const char kConfig[] = "named";
const BYTE kDialog[] = {1, 0, 0xFF, 0xFF};
const char kEnglish[] = "english";
const char kGerman[] = "german";

const platform::resources::Resource kResources[] = {
    {L"REGISTRY", MAKEINTRESOURCEW(101), 0, kScript, sizeof kScript - 1},
    {RT_MANIFEST, MAKEINTRESOURCEW(2), 0, kManifest, sizeof kManifest - 1},
    {RT_RCDATA, L"Config", 0, kConfig, sizeof kConfig - 1},
    {RT_DIALOG, MAKEINTRESOURCEW(201), 0, kDialog, sizeof kDialog},
    {RT_RCDATA, MAKEINTRESOURCEW(7), 0x0409, kEnglish, sizeof kEnglish - 1},
    {RT_RCDATA, MAKEINTRESOURCEW(7), 0x0407, kGerman, sizeof kGerman - 1},
};

const platform::resources::String kStrings[] = {
    {100, L"BVOL"}, {101, L"Second string"}, {17, L"In the second block"}};

}  // namespace

BV_MODULE_RESOURCES(kResources, kStrings);
#endif

// The in-process server.
namespace {

// {6C1D3F52-8E0B-4A7E-9B1F-2F1E0C3A5D01}
constexpr CLSID kAdderClass = {
    0x6C1D3F52, 0x8E0B, 0x4A7E, {0x9B, 0x1F, 0x2F, 0x1E, 0x0C, 0x3A, 0x5D, 0x01}};
constexpr DISPID kAddId = 1;
constexpr DISPID kThreadIdId = 2;

std::atomic<long> liveObjects{0};  // objects and server locks

class Adder final : public platform::com::RefCounted<IDispatch> {
  public:
    Adder() { ++liveObjects; }
    ~Adder() override { --liveObjects; }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == __uuidof(IDispatch)) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        HRESULT result = S_OK;
        for (UINT i = 0; i < count; ++i) {
            if (std::wcscmp(names[i], L"Add") == 0 && i == 0) {
                ids[i] = kAddId;
            } else if (std::wcscmp(names[i], L"ThreadId") == 0 && i == 0) {
                ids[i] = kThreadIdId;
            } else {
                ids[i] = DISPID_UNKNOWN;
                result = DISP_E_UNKNOWNNAME;
            }
        }
        return result;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override {
        if (id == kThreadIdId) {
            V_VT(result) = VT_I4;
            V_I4(result) = static_cast<LONG>(GetCurrentThreadId());
            return S_OK;
        }
        if (id != kAddId)
            return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 2)
            return DISP_E_BADPARAMCOUNT;
        V_VT(result) = VT_I4;
        V_I4(result) = V_I4(&params->rgvarg[0]) + V_I4(&params->rgvarg[1]);
        return S_OK;
    }
};

class AdderFactory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static: it does not count as an object of the server.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* adder = new Adder;
        const HRESULT result = adder->QueryInterface(iid, object);
        adder->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        lock ? ++liveObjects : --liveObjects;
        return S_OK;
    }
} adderFactory;

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT STDAPICALLTYPE
DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (clsid != kAdderClass) {
        *object = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return adderFactory.QueryInterface(iid, object);
}

extern "C" __attribute__((visibility("default"))) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    Record("can-unload-asked");
    return liveObjects == 0 ? S_OK : S_FALSE;
}
