// OleRun: objects that know a loaded-but-not-running state say so through
// IRunnableObject; every other object runs as soon as it exists.
#include <ole2.h>

extern "C" HRESULT STDAPICALLTYPE OleRun(LPUNKNOWN pUnknown) {
    if (!pUnknown)
        return E_INVALIDARG;
    IRunnableObject* runnable = nullptr;
    if (FAILED(
            pUnknown->QueryInterface(IID_IRunnableObject, reinterpret_cast<void**>(&runnable))) ||
        !runnable)
        return S_OK;
    const HRESULT result = runnable->Run(nullptr);
    runnable->Release();
    return result;
}
