#include "report_item.h"

#include <array>

namespace outlook::objects {

namespace {

using Report = Outlook::_ReportItem;

constexpr std::array kMembers{
    Member<&Report::get_Class>(L"Class", DISPID_Outlook_Class, DISPATCH_PROPERTYGET),
    Member<&Report::get_Parent>(L"Parent", DISPID_Outlook_Parent, DISPATCH_PROPERTYGET),
    Member<&Report::get_EntryID>(L"EntryID", DISPID_Outlook_EntryID, DISPATCH_PROPERTYGET),
    Member<&Report::get_MessageClass>(L"MessageClass", DISPID_Outlook_MailItem_MessageClass,
                                      DISPATCH_PROPERTYGET),
    Member<&Report::get_Subject>(L"Subject", DISPID_Outlook_MailItem_Subject, DISPATCH_PROPERTYGET),
    Member<&Report::Move>(L"Move", DISPID_Outlook_MailItem_Move, DISPATCH_METHOD),
};

}  // namespace

std::span<const DispatchMember> ReportItemObject::Members() {
    return kMembers;
}

ReportItemObject::ReportItemObject() : ModelObject(L"ReportItem", kMembers) {}

STDMETHODIMP ReportItemObject::get_Class(LONG* objectClass) {
    return ClassOf(objectClass);
}
STDMETHODIMP ReportItemObject::get_Parent(IDispatch** parent) {
    return ParentOf(parent);
}
STDMETHODIMP ReportItemObject::get_EntryID(BSTR* entryId) {
    return TextOf(L"EntryID", entryId);
}
STDMETHODIMP ReportItemObject::get_MessageClass(BSTR* messageClass) {
    return TextOf(L"MessageClass", messageClass);
}
STDMETHODIMP ReportItemObject::get_Subject(BSTR* subject) {
    return TextOf(L"Subject", subject);
}
STDMETHODIMP ReportItemObject::Move(Outlook::MAPIFolder* destination, IDispatch** item) {
    return MoveInto(destination, item);
}

}  // namespace outlook::objects
