#include "items.h"

#include <algorithm>
#include <array>

#include "item_core.h"

namespace outlook::objects {

namespace {

using mailstore::MessagePtr;

constexpr std::array kMembers{
    Member<&Outlook::_Items::get_Count>(L"Count", DISPID_Outlook_Collection_Count,
                                        DISPATCH_PROPERTYGET),
    Member<&Outlook::_Items::Item>(L"Item", DISPID_Outlook_Collection_Item,
                                   DISPATCH_METHOD | DISPATCH_PROPERTYGET),
    Member<&Outlook::_Items::Remove>(L"Remove", DISPID_Outlook_Collection_Remove, DISPATCH_METHOD),
    Member<&Outlook::_Items::Restrict>(L"Restrict", DISPID_Outlook_Items_Restrict, DISPATCH_METHOD),
    // Descending may be left out.
    Member<&Outlook::_Items::Sort>(L"Sort", DISPID_Outlook_Items_Sort, DISPATCH_METHOD, 1),
};

std::wstring_view TextOf(BSTR text) {
    return text ? std::wstring_view(text, SysStringLen(text)) : std::wstring_view();
}

}  // namespace

std::span<const DispatchMember> ItemsObject::Members() {
    return kMembers;
}

ItemsObject::ItemsObject() : ModelObject(L"Items", kMembers) {}

std::vector<MessagePtr> ItemsObject::Listed() const {
    std::vector<MessagePtr> listed = m_matched ? *m_matched : m_folder->Messages();
    if (m_sortKey) {
        std::stable_sort(listed.begin(), listed.end(),
                         [&](const MessagePtr& a, const MessagePtr& b) {
                             return m_descending ? ComesBefore(*m_sortKey, *b, *a)
                                                 : ComesBefore(*m_sortKey, *a, *b);
                         });
    }
    return listed;
}

STDMETHODIMP ItemsObject::get_Count(LONG* count) {
    if (HRESULT hr = Enter(L"Count", count); FAILED(hr))
        return hr;
    *count = static_cast<LONG>(m_matched ? m_matched->size() : m_folder->Messages().size());
    return S_OK;
}

STDMETHODIMP ItemsObject::Item(VARIANT index, IDispatch** item) {
    if (HRESULT hr = Enter(L"Item", item); FAILED(hr))
        return hr;
    *item = nullptr;
    const std::vector<MessagePtr> messages = Listed();
    std::size_t position = 0;
    if (HRESULT hr = PositionOf(index, messages.size(), position); FAILED(hr))
        return hr;
    return HandOut(WrapItem(m_model, messages[position]), item);
}

STDMETHODIMP ItemsObject::Remove(LONG index) {
    if (HRESULT hr = Enter(L"Remove"); FAILED(hr))
        return hr;
    const std::vector<MessagePtr> messages = Listed();
    std::size_t position = 0;
    if (HRESULT hr = PositionOf(index, messages.size(), position); FAILED(hr))
        return hr;
    const MessagePtr removed = messages[position];
    removed->Delete();
    if (m_matched)
        std::erase(*m_matched, removed);
    return S_OK;
}

// The restricted collection is a snapshot: the items that matched when it was
// made, in this collection's order, keeping its sort. A filter that cannot be
// read fails as Outlook's does, with "Cannot parse condition" information.
STDMETHODIMP ItemsObject::Restrict(BSTR filter, Outlook::_Items** items) {
    if (HRESULT hr = Enter(L"Restrict", items); FAILED(hr))
        return hr;
    *items = nullptr;
    std::wstring error;
    const std::optional<ItemFilter> parsed = ItemFilter::Parse(TextOf(filter), error);
    if (!parsed)
        return Fail(E_INVALIDARG, error);
    std::vector<MessagePtr> matched;
    for (const MessagePtr& message : Listed())
        if (!message->IsDeleted() && parsed->Matches(*message))
            matched.push_back(message);
    CComPtr<ItemsObject> object = MakeObject<ItemsObject>(m_model);
    object->SetFolder(m_folder);
    object->m_matched = std::move(matched);
    object->m_sortKey = m_sortKey;
    object->m_descending = m_descending;
    return Hand<Outlook::_Items>(object, items);
}

STDMETHODIMP ItemsObject::Sort(BSTR property, VARIANT descending) {
    if (HRESULT hr = Enter(L"Sort"); FAILED(hr))
        return hr;
    const auto key = PropertyNamed(TextOf(property));
    if (!key)
        return Fail(E_INVALIDARG, L"The property \"" + std::wstring(TextOf(property)) +
                                      L"\" in the sort is not known.");
    bool down = false;
    if (V_VT(&descending) != VT_ERROR && V_VT(&descending) != VT_EMPTY) {
        VARIANT flag;
        VariantInit(&flag);
        if (FAILED(VariantChangeType(&flag, &descending, 0, VT_BOOL)))
            return DISP_E_TYPEMISMATCH;
        down = V_BOOL(&flag) != VARIANT_FALSE;
    }
    m_sortKey = key;
    m_descending = down;
    return S_OK;
}

}  // namespace outlook::objects
