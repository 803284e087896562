#include "explorer.h"

#include <array>

namespace outlook::objects {

namespace {
constexpr std::array kMembers{
    Member<&Outlook::_Explorer::get_Caption>(L"Caption", DISPID_Outlook_Explorer_Caption,
                                             DISPATCH_PROPERTYGET),
};
}  // namespace

std::span<const DispatchMember> ExplorerObject::Members() {
    return kMembers;
}

ExplorerObject::ExplorerObject() : ModelObject(L"Explorer", kMembers) {}

STDMETHODIMP ExplorerObject::get_Caption(BSTR* caption) {
    if (HRESULT hr = Enter(L"Caption", caption); FAILED(hr))
        return hr;
    return GiveText(caption_, caption);
}

}  // namespace outlook::objects
