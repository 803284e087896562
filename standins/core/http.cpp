// The core's HTTP object, "Brevint.HTTP". The installation check creates one
// to prove that the core is registered.
//
// Its members (the requests to the login server) come with the service's
// proxy; until then it is an IDispatch without members, and any call on it
// answers DISP_E_MEMBERNOTFOUND. The core's objects accept calls from any
// thread, so it counts its references with interlocked operations.
#include <brevint_core.h>

#include "core/resource_ids.h"
#include "server/standin_server.h"

namespace {

class ATL_NO_VTABLE CHTTP : public CComObjectRootEx<CComMultiThreadModel>,
                            public CComCoClass<CHTTP, &CLSID_BrevintHTTP>,
                            public standins::CMemberlessDispatch<IDispatch> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_HTTP)
    DECLARE_NOT_AGGREGATABLE(CHTTP)

    BEGIN_COM_MAP(CHTTP)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()
};

OBJECT_ENTRY_AUTO(CLSID_BrevintHTTP, CHTTP)

}  // namespace
