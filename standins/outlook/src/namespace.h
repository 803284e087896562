// The "MAPI" namespace over the process's mail store model.
#pragma once

#include "model.h"

namespace outlook::objects {

class NameSpaceObject : public ModelObject<Outlook::_NameSpace> {
  public:
    BEGIN_COM_MAP(NameSpaceObject)
    COM_INTERFACE_ENTRY(Outlook::_NameSpace)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    static std::span<const DispatchMember> Members();
    NameSpaceObject();

    STDMETHODIMP get_Folders(Outlook::_Folders** folders) override;
    STDMETHODIMP GetDefaultFolder(LONG folderType, Outlook::MAPIFolder** folder) override;
    STDMETHODIMP GetFolderFromID(BSTR entryId, VARIANT storeId,
                                 Outlook::MAPIFolder** folder) override;
    STDMETHODIMP GetItemFromID(BSTR entryId, VARIANT storeId, IDispatch** item) override;
    STDMETHODIMP PickFolder(Outlook::MAPIFolder** folder) override;
    STDMETHODIMP get_MAPIOBJECT(IUnknown** session) override;
};

}  // namespace outlook::objects
