// The safe mail item, "BVOLTOOL.BVMailItem". The installation check creates
// one to prove that the library is registered.
//
// Its members (the wrapped item, its fields, bodies and RFC 822 export) come
// with the message access through this library; until then it is an
// IDispatch without members, and any call on it answers
// DISP_E_MEMBERNOTFOUND. Each caller creates its own item on its own thread.
#include <bvoltool.h>

#include "safeitem/resource_ids.h"
#include "server/standin_server.h"

namespace {

class ATL_NO_VTABLE CBVMailItem : public CComObjectRootEx<CComMultiThreadModel>,
                                  public CComCoClass<CBVMailItem, &CLSID_BVMailItem>,
                                  public standins::CMemberlessDispatch<IDispatch> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_BVMAILITEM)
    DECLARE_NOT_AGGREGATABLE(CBVMailItem)

    BEGIN_COM_MAP(CBVMailItem)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()
};

OBJECT_ENTRY_AUTO(CLSID_BVMailItem, CBVMailItem)

}  // namespace
