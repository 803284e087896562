// The registrar on Windows: the system's own registrar class (atl.dll, part
// of every Windows since 2000), which reads the same registry scripts as the
// platform's registrar does on Linux.
#include <windows.h>

#include <atliface.h>
#include <objbase.h>

STDAPI BvCreateRegistrar(IRegistrar** ppRegistrar) {
    if (ppRegistrar == nullptr)
        return E_POINTER;
    return CoCreateInstance(CLSID_Registrar, nullptr, CLSCTX_INPROC_SERVER, IID_IRegistrar,
                            reinterpret_cast<void**>(ppRegistrar));
}
