#include "model.h"

#include <cwchar>

namespace outlook::objects {

std::wstring ErrorSourceOf(const std::wstring& version) {
    const int major = std::wcstol(version.c_str(), nullptr, 10);
    return major > 0 && major <= 12 ? L"Microsoft Office Outlook" : L"Microsoft Outlook";
}

HRESULT PositionOf(const VARIANT& index, std::size_t count, std::size_t& position) {
    CComVariant number;
    if (FAILED(VariantChangeType(&number, &index, 0, VT_I4)))
        return DISP_E_TYPEMISMATCH;
    return PositionOf(V_I4(&number), count, position);
}

HRESULT PositionOf(LONG index, std::size_t count, std::size_t& position) {
    if (index < 1 || static_cast<std::size_t>(index) > count)
        return DISP_E_BADINDEX;
    position = static_cast<std::size_t>(index - 1);
    return S_OK;
}

ExplorerObject* Model::Active() const {
    const ExplorerRecord* latest = nullptr;
    for (const ExplorerRecord& record : explorers) {
        if (record.open && (!latest || record.activated > latest->activated))
            latest = &record;
    }
    return latest ? latest->object.p : nullptr;
}

std::vector<ExplorerObject*> Model::Open() const {
    std::vector<ExplorerObject*> open;
    for (const ExplorerRecord& record : explorers) {
        if (record.open)
            open.push_back(record.object.p);
    }
    return open;
}

ExplorerRecord* Model::Find(int id) {
    for (ExplorerRecord& record : explorers) {
        if (record.id == id)
            return &record;
    }
    return nullptr;
}

}  // namespace outlook::objects
