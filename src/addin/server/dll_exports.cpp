// The four exports that make BVOL0000.dll a COM server, and its entry point.
//
// The merged interface proxy/stub of a Windows build is not part of this
// module: IConnect has no members of its own, so a call on it from another
// apartment is an IDispatch call, which the system's IDispatch proxy serves.
// DllGetClassObject and DllCanUnloadNow therefore answer from the module
// alone.
#include "addin/server/bvol_module.h"
#include "addin/server/connect.h"
#include "service/brevint_proxy.h"
#include "support/log/logger.h"

CBVOLModule _AtlModule;

// The Windows build names its exports in BVOL0000.def; here the module's
// symbols are hidden but for these.
#ifdef _WIN32
#define BVOL_EXPORT extern "C"
#else
#define BVOL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Records the instance handle; the module refuses to load when its module
// object could not be initialised. When the module is freed (not when the
// process ends, which reserved says), the filter proxy with the account it
// kept and then its trace log go with it.
BVOL_EXPORT BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
    BOOL result = _AtlModule.DllMain(hInstance, dwReason, lpReserved);
    if (dwReason == DLL_PROCESS_DETACH && lpReserved == nullptr) {
        CBrevintProxy::ReleaseInstance();
        CLogger::ReleaseInstance();
    }
    return result;
}

BVOL_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return _AtlModule.DllCanUnloadNow();
}

BVOL_EXPORT HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return _AtlModule.DllGetClassObject(rclsid, riid, ppv);
}

BVOL_EXPORT HRESULT STDAPICALLTYPE DllRegisterServer() {
    return _AtlModule.DllRegisterServer();
}

BVOL_EXPORT HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return _AtlModule.DllUnregisterServer();
}
