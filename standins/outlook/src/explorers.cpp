#include "explorers.h"

#include <array>

#include "explorer.h"

namespace outlook::objects {

namespace {
constexpr std::array kMembers{
    Member<&Outlook::_Explorers::get_Count>(L"Count", DISPID_Outlook_Explorers_Count,
                                            DISPATCH_PROPERTYGET),
    Member<&Outlook::_Explorers::Item>(L"Item", DISPID_Outlook_Explorers_Item, DISPATCH_METHOD),
};
}  // namespace

std::span<const DispatchMember> ExplorersObject::Members() {
    return kMembers;
}

ExplorersObject::ExplorersObject() : ModelObject(L"Explorers", kMembers) {}

STDMETHODIMP ExplorersObject::get_Count(LONG* count) {
    if (HRESULT hr = Enter(L"Count", count); FAILED(hr))
        return hr;
    *count = static_cast<LONG>(m_model->Open().size());
    return S_OK;
}

// The index counts from 1 over the open explorers; an index out of range is
// refused as Outlook refuses it ("Array index out of bounds").
STDMETHODIMP ExplorersObject::Item(VARIANT index, Outlook::_Explorer** explorer) {
    if (HRESULT hr = Enter(L"Item", explorer); FAILED(hr))
        return hr;
    *explorer = nullptr;
    const std::vector<ExplorerObject*> open = m_model->Open();
    std::size_t position = 0;
    if (HRESULT hr = PositionOf(index, open.size(), position); FAILED(hr))
        return hr;
    return Hand<Outlook::_Explorer>(open[position], explorer);
}

}  // namespace outlook::objects
