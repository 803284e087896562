// A report item: what Outlook gives of a delivery or read report (an item of
// a "REPORT." class). It answers no QueryInterface for _MailItem.
#pragma once

#include "item_core.h"

namespace outlook::objects {

class ReportItemObject : public ModelObject<Outlook::_ReportItem, ItemCore> {
  public:
    BEGIN_COM_MAP(ReportItemObject)
    COM_INTERFACE_ENTRY(Outlook::_ReportItem)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    static std::span<const DispatchMember> Members();
    ReportItemObject();

    STDMETHODIMP get_Class(LONG* objectClass) override;
    STDMETHODIMP get_Parent(IDispatch** parent) override;
    STDMETHODIMP get_EntryID(BSTR* entryId) override;
    STDMETHODIMP get_MessageClass(BSTR* messageClass) override;
    STDMETHODIMP get_Subject(BSTR* subject) override;
    STDMETHODIMP Move(Outlook::MAPIFolder* destination, IDispatch** item) override;
};

}  // namespace outlook::objects
