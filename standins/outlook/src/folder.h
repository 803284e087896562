// A folder of the process's mail store model as Outlook shows it.
#pragma once

#include <mailstore/model.h>

#include <optional>

#include "model.h"

namespace outlook::objects {

class FolderObject : public ModelObject<Outlook::MAPIFolder> {
  public:
    BEGIN_COM_MAP(FolderObject)
    COM_INTERFACE_ENTRY(Outlook::MAPIFolder)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    static std::span<const DispatchMember> Members();
    FolderObject();

    void SetFolder(mailstore::FolderPtr folder) { m_folder = std::move(folder); }

    STDMETHODIMP get_Parent(IDispatch** parent) override;
    STDMETHODIMP get_EntryID(BSTR* entryId) override;
    STDMETHODIMP get_Folders(Outlook::_Folders** folders) override;
    STDMETHODIMP get_Items(Outlook::_Items** items) override;
    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP get_StoreID(BSTR* storeId) override;

  private:
    mailstore::FolderPtr m_folder;
};

// The folder object of `folder` for `model`'s host.
CComPtr<FolderObject> WrapFolder(Model* model, mailstore::FolderPtr folder);

// Whether `folder` is its store's top folder (the IPM subtree), which Outlook
// names after the store.
bool IsTopFolder(const mailstore::FolderPtr& folder);
// The name Outlook shows for `folder`.
std::wstring ShownName(const mailstore::FolderPtr& folder);

// An entry identifier in Outlook's text; nothing for empty or malformed text.
std::optional<mailstore::EntryId> EntryIdArgument(BSTR text);

}  // namespace outlook::objects
