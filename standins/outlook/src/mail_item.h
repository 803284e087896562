// A mail item: an item of any message class but "REPORT.".
#pragma once

#include "item_core.h"

namespace outlook::objects {

class MailItemObject : public ModelObject<Outlook::_MailItem, ItemCore> {
  public:
    BEGIN_COM_MAP(MailItemObject)
    COM_INTERFACE_ENTRY(Outlook::_MailItem)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    static std::span<const DispatchMember> Members();
    MailItemObject();

    STDMETHODIMP get_Class(LONG* objectClass) override;
    STDMETHODIMP get_Parent(IDispatch** parent) override;
    STDMETHODIMP get_Body(BSTR* body) override;
    STDMETHODIMP put_Body(BSTR body) override;
    STDMETHODIMP get_EntryID(BSTR* entryId) override;
    STDMETHODIMP get_MAPIOBJECT(IUnknown** message) override;
    STDMETHODIMP get_MessageClass(BSTR* messageClass) override;
    STDMETHODIMP get_Size(LONG* size) override;
    STDMETHODIMP get_Subject(BSTR* subject) override;
    STDMETHODIMP get_UnRead(VARIANT_BOOL* unread) override;
    STDMETHODIMP put_UnRead(VARIANT_BOOL unread) override;
    STDMETHODIMP Move(Outlook::MAPIFolder* destination, IDispatch** item) override;
    STDMETHODIMP Save() override;
    STDMETHODIMP get_HTMLBody(BSTR* body) override;
    STDMETHODIMP put_HTMLBody(BSTR body) override;
    STDMETHODIMP get_ReadReceiptRequested(VARIANT_BOOL* requested) override;
    STDMETHODIMP put_ReadReceiptRequested(VARIANT_BOOL requested) override;
    STDMETHODIMP get_ReceivedTime(DATE* received) override;
};

}  // namespace outlook::objects
