// In-process activation: ProgIDs to CLSIDs, CLSIDs to the module registered
// under InprocServer32, and the module's class factory.
#include "com_runtime/apartment.h"
#include "com_runtime/class_registration.h"
#include "com_runtime/server_modules.h"

#include <objbase.h>

#include <cwchar>

using namespace platform::com;

extern "C" HRESULT STDAPICALLTYPE CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
    if (!lpszProgID || !lpclsid)
        return E_INVALIDARG;
    CLSID found{};
    const HRESULT result = ClassOfProgId(lpszProgID, found);
    *lpclsid = SUCCEEDED(result) ? found : CLSID_NULL;
    return result;
}

extern "C" HRESULT STDAPICALLTYPE ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
    if (!lplpszProgID)
        return E_INVALIDARG;
    *lplpszProgID = nullptr;
    const auto progId = ClassKeyText(clsid, L"ProgID");
    if (!progId || progId->empty())
        return REGDB_E_CLASSNOTREG;
    const size_t bytes = (progId->size() + 1) * sizeof(OLECHAR);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!copy)
        return E_OUTOFMEMORY;
    std::wmemcpy(copy, progId->c_str(), progId->size() + 1);
    *lplpszProgID = copy;
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext,
                                                   COSERVERINFO* pServerInfo, REFIID riid,
                                                   LPVOID* ppv) {
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (!CanActivate())
        return CO_E_NOTINITIALIZED;
    // Only in-process servers exist in this world; a request for any other
    // kind finds no registration.
    if (pServerInfo || !(dwClsContext & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    const auto server = ClassKeyText(rclsid, L"InprocServer32");
    if (!server || server->empty())
        return REGDB_E_CLASSNOTREG;
    return ClassObjectFromServer(*server, rclsid, riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter,
                                                   DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT result = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                      reinterpret_cast<void**>(&factory));
    if (FAILED(result))
        return result;
    result = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return result;
}

extern "C" void WINAPI CoFreeUnusedLibraries(void) {
    FreeUnusedServers();
}
