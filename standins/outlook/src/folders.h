// A folder collection: a folder's subfolders, or the stores' top folders of
// the namespace.
#pragma once

#include <mailstore/model.h>

#include <vector>

#include "model.h"

namespace outlook::objects {

class FoldersObject : public ModelObject<Outlook::_Folders> {
  public:
    BEGIN_COM_MAP(FoldersObject)
    COM_INTERFACE_ENTRY(Outlook::_Folders)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    static std::span<const DispatchMember> Members();
    FoldersObject();

    // Null for the namespace's collection of the stores' top folders.
    void SetParent(mailstore::FolderPtr parent) { m_parent = std::move(parent); }

    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP Item(VARIANT index, Outlook::MAPIFolder** folder) override;
    STDMETHODIMP Add(BSTR name, VARIANT type, Outlook::MAPIFolder** folder) override;

  private:
    std::vector<mailstore::FolderPtr> Listed() const;
    mailstore::FolderPtr m_parent;
};

}  // namespace outlook::objects
