// The application: the root of the object model that Outlook hands its
// add-ins, with its event of an item sent.
#pragma once

#include <atlconnect.h>

#include "model.h"

namespace outlook::objects {

class ExplorersObject;
class NameSpaceObject;

class ApplicationObject
    : public ModelObject<Outlook::_Application>,
      public IConnectionPointContainerImpl<ApplicationObject>,
      public IConnectionPointImpl<ApplicationObject, &__uuidof(Outlook::ApplicationEvents)> {
  public:
    BEGIN_COM_MAP(ApplicationObject)
    COM_INTERFACE_ENTRY(Outlook::_Application)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    END_COM_MAP()

    BEGIN_CONNECTION_POINT_MAP(ApplicationObject)
    CONNECTION_POINT_ENTRY(__uuidof(Outlook::ApplicationEvents))
    END_CONNECTION_POINT_MAP()

    static std::span<const DispatchMember> Members();
    ApplicationObject();

    void SetParts(ExplorersObject* explorers, NameSpaceObject* mapi);
    // Raises ItemSend; the Cancel flag the handlers left.
    bool RaiseItemSend(IDispatch* item);

    STDMETHODIMP get_Version(BSTR* version) override;
    STDMETHODIMP ActiveExplorer(Outlook::_Explorer** explorer) override;
    STDMETHODIMP GetNamespace(BSTR type, Outlook::_NameSpace** nameSpace) override;
    STDMETHODIMP get_Explorers(Outlook::_Explorers** explorers) override;

  private:
    CComPtr<Outlook::_Explorers> m_explorers;
    CComPtr<Outlook::_NameSpace> m_mapi;
};

}  // namespace outlook::objects
