#include "report_item.h"

namespace outlook::objects {

namespace {
constexpr auto kMembers = ItemMembers<Outlook::_ReportItem>();
}  // namespace

std::span<const DispatchMember> ReportItemObject::Members() {
    return kMembers;
}

ReportItemObject::ReportItemObject() : ItemObject(L"ReportItem", kMembers) {}

}  // namespace outlook::objects
