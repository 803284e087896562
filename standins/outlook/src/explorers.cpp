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
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(model_->Open().size());
    return S_OK;
}

// The index counts from 1 over the open explorers; an index out of range is
// refused as Outlook refuses it ("Array index out of bounds").
STDMETHODIMP ExplorersObject::Item(VARIANT index, Outlook::_Explorer** explorer) {
    if (HRESULT hr = Enter(L"Item", explorer); FAILED(hr))
        return hr;
    if (!explorer)
        return E_POINTER;
    *explorer = nullptr;
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, &index, 0, VT_I4)))
        return DISP_E_TYPEMISMATCH;
    const std::vector<ExplorerObject*> open = model_->Open();
    const LONG position = V_I4(&number);
    if (position < 1 || position > static_cast<LONG>(open.size()))
        return DISP_E_BADINDEX;
    return Hand<Outlook::_Explorer>(open[position - 1], explorer);
}

}  // namespace outlook::objects
