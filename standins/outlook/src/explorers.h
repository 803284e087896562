// The open explorers, in the order they were opened, and their event of a
// new explorer.
#pragma once

#include <atlconnect.h>

#include "model.h"

namespace outlook::objects {

class ExplorersObject
    : public ModelObject<Outlook::_Explorers>,
      public IConnectionPointContainerImpl<ExplorersObject>,
      public IConnectionPointImpl<ExplorersObject, &__uuidof(Outlook::ExplorersEvents)> {
  public:
    BEGIN_COM_MAP(ExplorersObject)
    COM_INTERFACE_ENTRY(Outlook::_Explorers)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    END_COM_MAP()

    BEGIN_CONNECTION_POINT_MAP(ExplorersObject)
    CONNECTION_POINT_ENTRY(__uuidof(Outlook::ExplorersEvents))
    END_CONNECTION_POINT_MAP()

    static std::span<const DispatchMember> Members();
    ExplorersObject();

    void RaiseNewExplorer(Outlook::_Explorer* explorer) {
        FireEvent(DISPID_Outlook_ExplorersEvents_NewExplorer, explorer);
    }

    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP Item(VARIANT index, Outlook::_Explorer** explorer) override;
};

}  // namespace outlook::objects
