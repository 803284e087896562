// What mail and report items both answer, over one message of the store
// model. Items whose message class starts with "REPORT." are report items,
// which Outlook does not show as mail; every other item is a mail item.
#pragma once

#include <mailstore/model.h>

#include <array>

#include "model.h"

namespace outlook::objects {

// A report item for the "REPORT." classes, a mail item for every other, with
// one reference for the caller.
CComPtr<IDispatch> WrapItem(Model* model, mailstore::MessagePtr message);

class ItemCore : public ModelBound {
  public:
    using ModelBound::ModelBound;
    void SetMessage(mailstore::MessagePtr message) { m_message = std::move(message); }

  protected:
    // S_OK when the member may go on: it was entered (ModelBound::Enter) and
    // the message is there.
    template <class... Out>
    HRESULT Reach(const wchar_t* member, Out*... outputs) {
        if (HRESULT hr = Enter(member, outputs...); FAILED(hr))
            return hr;
        // A message deleted or moved to another store is gone for this object.
        return m_message && !m_message->IsDeleted() ? S_OK : kNotFound;
    }
    HRESULT ClassOf(LONG* objectClass);
    HRESULT ParentOf(IDispatch** parent);
    // "EntryID", "MessageClass", "Subject", "Body" or "HTMLBody".
    HRESULT TextOf(const wchar_t* member, BSTR* text);
    HRESULT MoveInto(Outlook::MAPIFolder* destination, IDispatch** item);

    mailstore::MessagePtr m_message;
};

// An item of interface I (_MailItem or _ReportItem): the members both kinds
// answer, alike.
template <class I>
class ItemObject : public ModelObject<I, ItemCore> {
  public:
    using ModelObject<I, ItemCore>::ModelObject;

    STDMETHODIMP get_Class(LONG* objectClass) override { return this->ClassOf(objectClass); }
    STDMETHODIMP get_Parent(IDispatch** parent) override { return this->ParentOf(parent); }
    STDMETHODIMP get_EntryID(BSTR* entryId) override { return this->TextOf(L"EntryID", entryId); }
    STDMETHODIMP get_MessageClass(BSTR* messageClass) override {
        return this->TextOf(L"MessageClass", messageClass);
    }
    STDMETHODIMP get_Subject(BSTR* subject) override { return this->TextOf(L"Subject", subject); }
    STDMETHODIMP Move(Outlook::MAPIFolder* destination, IDispatch** item) override {
        return this->MoveInto(destination, item);
    }
};

// The entries of those members for interface I.
template <class I>
constexpr std::array<DispatchMember, 6> ItemMembers() {
    return {
        Member<&I::get_Class>(L"Class", DISPID_Outlook_Class, DISPATCH_PROPERTYGET),
        Member<&I::get_Parent>(L"Parent", DISPID_Outlook_Parent, DISPATCH_PROPERTYGET),
        Member<&I::get_EntryID>(L"EntryID", DISPID_Outlook_EntryID, DISPATCH_PROPERTYGET),
        Member<&I::get_MessageClass>(L"MessageClass", DISPID_Outlook_MailItem_MessageClass,
                                     DISPATCH_PROPERTYGET),
        Member<&I::get_Subject>(L"Subject", DISPID_Outlook_MailItem_Subject, DISPATCH_PROPERTYGET),
        Member<&I::Move>(L"Move", DISPID_Outlook_MailItem_Move, DISPATCH_METHOD),
    };
}

}  // namespace outlook::objects
