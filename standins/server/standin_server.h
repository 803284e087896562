// What the stand-in libraries' COM servers share: an IDispatch for objects
// whose members are not written yet, and the four exports of a server module.
//
// The stand-ins register their classes from registry scripts among their
// resources, as the add-in does, but carry no type library: their members
// are served by IDispatch implementations of their own.
#pragma once

#include <atlbase.h>
#include <atlcom.h>
#include <oaidl.h>
#include <platform/call_faults.h>

namespace standins {

// ISupportErrorInfo of an object whose members report their failures with
// error information (platform::calls::EnterComMember) on these interfaces.
template <const IID*... Iids>
class ATL_NO_VTABLE CErrorInfoSupport : public ISupportErrorInfo {
  public:
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) override {
        return ((iid == *Iids) || ...) ? S_OK : S_FALSE;
    }
};

// IDispatch of an object that has no members: every name is unknown and
// every call answers DISP_E_MEMBERNOTFOUND, which is what a client sees when
// it calls something the object does not have.
template <class Interface = IDispatch>
class ATL_NO_VTABLE CMemberlessDispatch : public Interface {
  public:
    STDMETHOD(GetTypeInfoCount)(UINT* count) override {
        if (!count)
            return E_INVALIDARG;
        *count = 0;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo** info) override {
        if (info)
            *info = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR*, UINT count, LCID, DISPID* ids) override {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        for (UINT i = 0; ids && i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHOD(Invoke)
    (DISPID, REFIID riid, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        return DISP_E_MEMBERNOTFOUND;
    }
};

}  // namespace standins

#define BV_STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

// The module object (class `ModuleClass`, object `_AtlModule`), the entry
// point and the four exports of a server module. Registration writes the
// classes' scripts only: there is no type library to register.
#define BV_STANDIN_SERVER_MODULE(ModuleClass)                                                  \
    namespace {                                                                                \
    class ModuleClass : public ATL::CAtlDllModuleT<ModuleClass> {};                            \
    ModuleClass _AtlModule;                                                                    \
    }                                                                                          \
    BV_STANDIN_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) { \
        return _AtlModule.DllMain(instance, reason, reserved);                                 \
    }                                                                                          \
    BV_STANDIN_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow() {                               \
        return _AtlModule.DllCanUnloadNow();                                                   \
    }                                                                                          \
    BV_STANDIN_EXPORT HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid,     \
                                                               LPVOID* object) {               \
        return _AtlModule.DllGetClassObject(clsid, iid, object);                               \
    }                                                                                          \
    BV_STANDIN_EXPORT HRESULT STDAPICALLTYPE DllRegisterServer() {                             \
        return _AtlModule.DllRegisterServer(FALSE);                                            \
    }                                                                                          \
    BV_STANDIN_EXPORT HRESULT STDAPICALLTYPE DllUnregisterServer() {                           \
        return _AtlModule.DllUnregisterServer(FALSE);                                          \
    }
