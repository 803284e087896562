// "Brevint.XML": one parsed document at a time, queried by dotted element
// paths. A document that does not parse is refused with E_FAIL and leaves
// the object without a document; every path of an absent document is empty.
#include <brevint_core.h>

#include <mutex>

#include "core/core_text.h"
#include "core/resource_ids.h"
#include "core/xml_document.h"
#include "server/standin_server.h"

namespace {

using standins::core::Narrow;
using standins::core::TextOf;

class ATL_NO_VTABLE CXML : public CComObjectRootEx<CComMultiThreadModel>,
                           public CComCoClass<CXML, &CLSID_BrevintXML>,
                           public standins::CMemberlessDispatch<brevint_core::IXML>,
                           public standins::CErrorInfoSupport<&__uuidof(brevint_core::IXML)> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_XML)
    DECLARE_NOT_AGGREGATABLE(CXML)
    // Its members as they are named, and the source of their errors.
    static constexpr platform::calls::ComObject kObject{L"XML", nullptr, &CLSID_BrevintXML,
                                                        &__uuidof(brevint_core::IXML)};

    BEGIN_COM_MAP(CXML)
    COM_INTERFACE_ENTRY(brevint_core::IXML)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    STDMETHOD(LoadXml)(BSTR document) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"LoadXml"); FAILED(hr))
            return hr;
        standins::core::XmlDocument parsed;
        const bool ok = parsed.Parse(Narrow(TextOf(document), CP_UTF8));
        std::lock_guard lock(m_mutex);
        m_document = std::move(parsed);
        return ok ? S_OK : E_FAIL;
    }

    STDMETHOD(GetNodeText)(BSTR path, BSTR* text) override {
        if (HRESULT hr = platform::calls::EnterComMember(kObject, L"GetNodeText", text); FAILED(hr))
            return hr;
        if (!text)
            return E_POINTER;
        std::string found;
        {
            std::lock_guard lock(m_mutex);
            found = m_document.Text(Narrow(TextOf(path), CP_UTF8)).value_or("");
        }
        return standins::core::ReturnText(standins::core::Widen(found, CP_UTF8), text);
    }

  private:
    std::mutex m_mutex;
    standins::core::XmlDocument m_document;
};

OBJECT_ENTRY_AUTO(CLSID_BrevintXML, CXML)

}  // namespace
