// "Brevint.Filter": scores and learns from whole RFC 822 messages through
// the process's filter engine. The add-in's message text was converted from
// the ANSI code page, so it goes back to that page before the engine reads
// its bytes. A store that cannot be opened fails the call with E_FAIL and
// error information that says why.
#include <brevint_core.h>

#include <new>

#include "core/core_text.h"
#include "core/engine_host.h"
#include "core/merge_header.h"
#include "core/resource_ids.h"
#include "server/standin_server.h"

namespace {

using standins::core::Narrow;
using standins::core::TextOf;

class ATL_NO_VTABLE CFilter : public CComObjectRootEx<CComMultiThreadModel>,
                              public CComCoClass<CFilter, &CLSID_BrevintFilter>,
                              public standins::CMemberlessDispatch<brevint_core::IFilter>,
                              public standins::CErrorInfoSupport<&__uuidof(brevint_core::IFilter)> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_FILTER)
    DECLARE_NOT_AGGREGATABLE(CFilter)
    // Its members as they are named, and the source of their errors.
    static constexpr platform::calls::ComObject kObject{L"Filter", nullptr, &CLSID_BrevintFilter,
                                                        &__uuidof(brevint_core::IFilter)};

    BEGIN_COM_MAP(CFilter)
    COM_INTERFACE_ENTRY(brevint_core::IFilter)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    // 0 (good) to 100 (spam), the sender lists deciding first. Every mode
    // scores the same way.
    STDMETHOD(Score)(BSTR message, LONG /*mode*/, LONG* score) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"Score", score); FAILED(hr))
            return hr;
        if (!score)
            return E_POINTER;
        *score = 0;
        return WithEngine([&](bv::filter::FilterEngine& engine) {
            *score = engine.Score(Narrow(TextOf(message), CP_ACP));
            return S_OK;
        });
    }

    // 100 learns the message as spam, -100 as good; result 0 once the vote
    // is on disk.
    STDMETHOD(Vote)(BSTR message, LONG vote, LONG* result) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"Vote", result); FAILED(hr))
            return hr;
        if (!result)
            return E_POINTER;
        *result = -1;
        if (vote != bv::filter::kSpamVote && vote != bv::filter::kGoodVote)
            return E_INVALIDARG;
        return WithEngine([&](bv::filter::FilterEngine& engine) {
            *result = engine.Vote(Narrow(TextOf(message), CP_ACP), static_cast<int>(vote)) ? 0 : -1;
            return S_OK;
        });
    }

    STDMETHOD(MergeHeader)(BSTR message, BSTR header, BSTR* merged) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"MergeHeader", merged);
            FAILED(hr))
            return hr;
        if (!merged)
            return E_POINTER;
        return standins::core::ReturnText(
            standins::core::MergeHeader(TextOf(message), TextOf(header)), merged);
    }

  private:
    template <class Call>
    static HRESULT WithEngine(Call call) {
        std::shared_ptr<bv::filter::FilterEngine> engine = standins::core::SharedEngine();
        if (!engine)
            return standins::core::StoreUnavailable(CLSID_BrevintFilter,
                                                    __uuidof(brevint_core::IFilter));
        try {
            return call(*engine);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const std::exception& error) {
            return standins::core::StoreWriteFailed(CLSID_BrevintFilter,
                                                    __uuidof(brevint_core::IFilter), error.what());
        }
    }
};

OBJECT_ENTRY_AUTO(CLSID_BrevintFilter, CFilter)

}  // namespace
