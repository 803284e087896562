// The session object, "BVOLTOOL.BVRDOSession": registered so that clients
// can create it, but its members (log on, the stores, default folders,
// folders by identifier and their hidden items) are not offered yet: each
// answers E_NOTIMPL, and its IDispatch knows no names.
#include <bvoltool.h>

#include "safeitem/resource_ids.h"
#include "server/standin_server.h"

namespace {

class ATL_NO_VTABLE CBVRDOSession : public CComObjectRootEx<CComSingleThreadModel>,
                                    public CComCoClass<CBVRDOSession, &CLSID_BVRDOSession>,
                                    public standins::CMemberlessDispatch<bvoltool::IBVRDOSession> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_BVRDOSESSION)
    DECLARE_NOT_AGGREGATABLE(CBVRDOSession)

    BEGIN_COM_MAP(CBVRDOSession)
    COM_INTERFACE_ENTRY(bvoltool::IBVRDOSession)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    STDMETHOD(Logon)() override { return E_NOTIMPL; }
    STDMETHOD(get_Stores)(IDispatch** stores) override { return NotOffered(stores); }
    STDMETHOD(GetDefaultFolder)(LONG, IDispatch** folder) override { return NotOffered(folder); }
    STDMETHOD(GetFolderFromID)(BSTR, BSTR, LONG, IDispatch** folder) override {
        return NotOffered(folder);
    }

  private:
    static HRESULT NotOffered(IDispatch** out) {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }
};

OBJECT_ENTRY_AUTO(CLSID_BVRDOSession, CBVRDOSession)

}  // namespace
