// "Brevint.Library": the core's start and stop around all other use. Start
// opens the filter's store (a negative answer when it cannot be opened);
// Stop lets it go, and a later need opens it again.
#include <brevint_core.h>

#include "core/engine_host.h"
#include "core/resource_ids.h"
#include "server/standin_server.h"

namespace {

class ATL_NO_VTABLE CLibrary
    : public CComObjectRootEx<CComMultiThreadModel>,
      public CComCoClass<CLibrary, &CLSID_BrevintLibrary>,
      public standins::CMemberlessDispatch<brevint_core::ILibrary>,
      public standins::CErrorInfoSupport<&__uuidof(brevint_core::ILibrary)> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_LIBRARY)
    DECLARE_NOT_AGGREGATABLE(CLibrary)
    // Its members as they are named, and the source of their errors.
    static constexpr platform::calls::ComObject kObject{L"Library", nullptr, &CLSID_BrevintLibrary,
                                                        &__uuidof(brevint_core::ILibrary)};

    BEGIN_COM_MAP(CLibrary)
    COM_INTERFACE_ENTRY(brevint_core::ILibrary)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    STDMETHOD(Start)(short* started) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"Start", started); FAILED(hr))
            return hr;
        if (!started)
            return E_POINTER;
        *started = standins::core::SharedEngine() ? 1 : -1;
        return S_OK;
    }

    STDMETHOD(Stop)(short* stopped) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"Stop", stopped); FAILED(hr))
            return hr;
        if (!stopped)
            return E_POINTER;
        standins::core::ReleaseSharedEngine();
        *stopped = 1;
        return S_OK;
    }
};

OBJECT_ENTRY_AUTO(CLSID_BrevintLibrary, CLibrary)

}  // namespace
