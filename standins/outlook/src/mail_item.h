// A mail item: an item of any message class but "REPORT.".
#pragma once

#include "item_core.h"

namespace outlook::objects {

class MailItemObject : public ItemObject<Outlook::_MailItem> {
  public:
    BEGIN_COM_MAP(MailItemObject)
    COM_INTERFACE_ENTRY(Outlook::_MailItem)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    static std::span<const DispatchMember> Members();
    MailItemObject();

    STDMETHODIMP get_Body(BSTR* body) override;
    STDMETHODIMP put_Body(BSTR body) override;
    STDMETHODIMP get_MAPIOBJECT(IUnknown** message) override;
    STDMETHODIMP get_Size(LONG* size) override;
    STDMETHODIMP get_UnRead(VARIANT_BOOL* unread) override;
    STDMETHODIMP put_UnRead(VARIANT_BOOL unread) override;
    STDMETHODIMP Save() override;
    STDMETHODIMP get_HTMLBody(BSTR* body) override;
    STDMETHODIMP put_HTMLBody(BSTR body) override;
    STDMETHODIMP get_ReadReceiptRequested(VARIANT_BOOL* requested) override;
    STDMETHODIMP put_ReadReceiptRequested(VARIANT_BOOL requested) override;
    STDMETHODIMP get_ReceivedTime(DATE* received) override;
};

}  // namespace outlook::objects
