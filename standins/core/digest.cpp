// "Brevint.Digest": the SHA-256 digest of a text's UTF-8 bytes, as 64
// lower-case hexadecimal digits, which a URL carries as they are.
#include <brevint_core.h>

#include "core/core_text.h"
#include "core/resource_ids.h"
#include "core/sha256.h"
#include "server/standin_server.h"

namespace {

class ATL_NO_VTABLE CDigest : public CComObjectRootEx<CComMultiThreadModel>,
                              public CComCoClass<CDigest, &CLSID_BrevintDigest>,
                              public standins::CMemberlessDispatch<brevint_core::IDigest>,
                              public standins::CErrorInfoSupport<&__uuidof(brevint_core::IDigest)> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_DIGEST)
    DECLARE_NOT_AGGREGATABLE(CDigest)
    // Its members as they are named, and the source of their errors.
    static constexpr platform::calls::ComObject kObject{L"Digest", nullptr, &CLSID_BrevintDigest,
                                                        &__uuidof(brevint_core::IDigest)};

    BEGIN_COM_MAP(CDigest)
    COM_INTERFACE_ENTRY(brevint_core::IDigest)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    STDMETHOD(Compute)(BSTR text, BSTR* digest) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"Compute", digest); FAILED(hr))
            return hr;
        if (!digest)
            return E_POINTER;
        const std::string hex = standins::core::Sha256Hex(
            standins::core::Narrow(standins::core::TextOf(text), CP_UTF8));
        return standins::core::ReturnText(std::wstring(hex.begin(), hex.end()), digest);
    }
};

OBJECT_ENTRY_AUTO(CLSID_BrevintDigest, CDigest)

}  // namespace
