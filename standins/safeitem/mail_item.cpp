// The safe mail item, "BVOLTOOL.BVMailItem": an Outlook item read without the
// object model's security prompts. Writing Item finds the message the Outlook
// item shows in the mail store; every other member reads that message. Each
// caller creates its own item on its own thread.
#include <bvoltool.h>
#include <oleauto.h>

#include <mailstore/model.h>

#include <string>

#include "safeitem/message_lookup.h"
#include "safeitem/property_variant.h"
#include "safeitem/resource_ids.h"
#include "server/standin_server.h"

namespace {

using mailstore::MessagePtr;
using safeitem::Text;
using safeitem::ToVariant;

// What a member answers before Item is written or once its message is gone.
constexpr HRESULT kNoItem = E_UNEXPECTED;

constexpr platform::calls::ComObject kMailItem{L"BVMailItem", nullptr, &CLSID_BVMailItem,
                                               &__uuidof(bvoltool::IBVMailItem)};
constexpr platform::calls::ComObject kImportExport{L"BVMailItem", nullptr, &CLSID_BVMailItem,
                                                   &__uuidof(bvoltool::IBVImportExport)};

// The RFC 822 text of a message made in the store, which has no delivered
// source: its transport headers (or its subject) and its plain body.
mailstore::Bytes ComposedSource(const mailstore::Message& message) {
    std::string text = message.GetNarrow(mailstore::tags::kTransportHeaders).value_or("");
    if (text.empty())
        text = "Subject: " + message.GetNarrow(mailstore::tags::kSubject).value_or("") + "\r\n";
    else if (!text.ends_with("\r\n"))
        text += "\r\n";
    text += "\r\n";
    text +=
        message.GetNarrow(mailstore::ChangeType(mailstore::tags::kBody, mailstore::kTypeString8))
            .value_or("");
    return mailstore::Bytes(text.begin(), text.end());
}

class ATL_NO_VTABLE CBVMailItem
    : public CComObjectRootEx<CComMultiThreadModel>,
      public CComCoClass<CBVMailItem, &CLSID_BVMailItem>,
      public standins::CMemberlessDispatch<bvoltool::IBVMailItem>,
      public bvoltool::IBVImportExport,
      public standins::CErrorInfoSupport<&__uuidof(bvoltool::IBVMailItem),
                                         &__uuidof(bvoltool::IBVImportExport)> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_BVMAILITEM)
    DECLARE_NOT_AGGREGATABLE(CBVMailItem)

    BEGIN_COM_MAP(CBVMailItem)
    COM_INTERFACE_ENTRY(bvoltool::IBVMailItem)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(bvoltool::IBVImportExport)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    STDMETHOD(put_Item)(IDispatch* item) override {
        if (HRESULT hr = platform::calls::EnterComMember(kMailItem, L"Item"); FAILED(hr))
            return hr;
        m_message.reset();
        if (!item)
            return E_POINTER;
        return safeitem::FindMessageOf(item, m_message);
    }

    STDMETHOD(get_Fields)(LONG propTag, VARIANT* value) override {
        if (HRESULT hr = platform::calls::EnterComMember(kMailItem, L"Fields", value); FAILED(hr))
            return hr;
        if (!value)
            return E_POINTER;
        VariantInit(value);
        const MessagePtr message = Message();
        if (!message)
            return kNoItem;
        return safeitem::FieldOf(*message, propTag, value);
    }

    STDMETHOD(get_Body)(BSTR* body) override {
        return ReadText(L"Body", body, [](const mailstore::Message& m) { return m.PlainBody(); });
    }
    STDMETHOD(get_HTMLBody)(BSTR* body) override {
        return ReadText(L"HTMLBody", body,
                        [](const mailstore::Message& m) { return m.HtmlBody(); });
    }

    STDMETHOD(Export)(IStream* stream, LONG flags) override {
        if (HRESULT hr = platform::calls::EnterComMember(kImportExport, L"Export"); FAILED(hr))
            return hr;
        if (!stream)
            return E_POINTER;
        if (flags != bvoltool::kExportRfc822)
            return E_NOTIMPL;  // only the RFC 822 text is offered
        const MessagePtr message = Message();
        if (!message)
            return kNoItem;
        mailstore::Bytes source = message->Source();
        if (source.empty())
            source = ComposedSource(*message);
        ULONG written = 0;
        const HRESULT hr =
            stream->Write(source.data(), static_cast<ULONG>(source.size()), &written);
        if (FAILED(hr))
            return hr;
        return written == source.size() ? S_OK : STG_E_MEDIUMFULL;
    }

  private:
    // The wrapped message while it is still in the store.
    MessagePtr Message() const {
        return m_message && !m_message->IsDeleted() ? m_message : nullptr;
    }

    template <class Read>
    HRESULT ReadText(const wchar_t* member, BSTR* out, Read read) const {
        if (HRESULT hr = platform::calls::EnterComMember(kMailItem, member, out); FAILED(hr))
            return hr;
        if (!out)
            return E_POINTER;
        *out = nullptr;
        const MessagePtr message = Message();
        if (!message)
            return kNoItem;
        *out = Text(read(*message));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    MessagePtr m_message;
};

OBJECT_ENTRY_AUTO(CLSID_BVMailItem, CBVMailItem)

}  // namespace
