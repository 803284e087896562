// A report item: what Outlook gives of a delivery or read report (an item of
// a "REPORT." class). It answers no QueryInterface for _MailItem.
#pragma once

#include "item_core.h"

namespace outlook::objects {

class ReportItemObject : public ItemObject<Outlook::_ReportItem> {
  public:
    BEGIN_COM_MAP(ReportItemObject)
    COM_INTERFACE_ENTRY(Outlook::_ReportItem)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    static std::span<const DispatchMember> Members();
    ReportItemObject();
};

}  // namespace outlook::objects
