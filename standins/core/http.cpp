// The core's HTTP object, "Brevint.HTTP": a GET of an http:// URL with
// time-outs. The installation check creates one to prove that the core is
// registered.
//
// Its dispatch interface has no members: clients call it by position.
#include <brevint_core.h>

#include "core/core_text.h"
#include "core/resource_ids.h"
#include "net/http_client.h"
#include "server/standin_server.h"

namespace {

class ATL_NO_VTABLE CHTTP : public CComObjectRootEx<CComMultiThreadModel>,
                            public CComCoClass<CHTTP, &CLSID_BrevintHTTP>,
                            public standins::CMemberlessDispatch<brevint_core::IHTTP>,
                            public standins::CErrorInfoSupport<&__uuidof(brevint_core::IHTTP)> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_HTTP)
    DECLARE_NOT_AGGREGATABLE(CHTTP)
    // Its members as they are named, and the source of their errors.
    static constexpr platform::calls::ComObject kObject{L"HTTP", nullptr, &CLSID_BrevintHTTP,
                                                        &__uuidof(brevint_core::IHTTP)};

    BEGIN_COM_MAP(CHTTP)
    COM_INTERFACE_ENTRY(brevint_core::IHTTP)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    // The body's bytes are taken as UTF-8.
    STDMETHOD(Get)(BSTR url, BSTR* body, LONG* status) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"Get", body, status); FAILED(hr))
            return hr;
        if (!body || !status)
            return E_POINTER;
        *body = nullptr;
        auto response =
            standins::net::HttpGet(standins::core::Narrow(standins::core::TextOf(url), CP_UTF8));
        *status = response.status;
        return standins::core::ReturnText(standins::core::Widen(response.body, CP_UTF8), body);
    }
};

OBJECT_ENTRY_AUTO(CLSID_BrevintHTTP, CHTTP)

}  // namespace
