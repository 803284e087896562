// A folder's items, or the snapshot a restriction made of them, in the
// folder's order or the order a sort set.
#pragma once

#include <mailstore/model.h>

#include <optional>
#include <string>
#include <vector>

#include "items_filter.h"
#include "model.h"

namespace outlook::objects {

class ItemsObject : public ModelObject<Outlook::_Items> {
  public:
    BEGIN_COM_MAP(ItemsObject)
    COM_INTERFACE_ENTRY(Outlook::_Items)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    static std::span<const DispatchMember> Members();
    ItemsObject();

    void SetFolder(mailstore::FolderPtr folder) { m_folder = std::move(folder); }

    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP Item(VARIANT index, IDispatch** item) override;
    STDMETHODIMP Remove(LONG index) override;
    STDMETHODIMP Restrict(BSTR filter, Outlook::_Items** items) override;
    STDMETHODIMP Sort(BSTR property, VARIANT descending) override;

  private:
    // The items in the collection's order: the folder's (or, for a
    // restricted collection, those it matched when made), sorted when asked.
    std::vector<mailstore::MessagePtr> Listed() const;

    mailstore::FolderPtr m_folder;
    std::optional<std::vector<mailstore::MessagePtr>> m_matched;
    std::optional<ItemProperty> m_sortKey;
    bool m_descending = false;
};

}  // namespace outlook::objects
