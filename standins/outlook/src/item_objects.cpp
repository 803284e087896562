// Outlook's items over the store model's messages: mail items, and report
// items for the "REPORT." classes, which Outlook does not show as mail.
#include <mapiview/mapi_view.h>
#include <oleauto.h>

#include <array>

#include "items_filter.h"
#include "mail_objects.h"

namespace outlook::objects {

namespace {

using mailstore::FolderPtr;
using mailstore::MessagePtr;

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           SameName(std::wstring(text.begin(), text.begin() + static_cast<long>(prefix.size())),
                    std::wstring(prefix.begin(), prefix.end()));
}

bool IsReport(const mailstore::Message& message) {
    return StartsWith(message.Class(), "REPORT.");
}

// The one text argument of a property put.
HRESULT PutText(const DISPPARAMS* params, UINT* argumentError, std::wstring& text) {
    VARIANT value;
    VariantInit(&value);
    VARIANT given = ArgumentAt(params, 0);
    if (FAILED(VariantChangeType(&value, &given, 0, VT_BSTR)))
        return BadArgument(argumentError, 0);
    text.assign(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
    VariantClear(&value);
    return S_OK;
}

}  // namespace

CComPtr<IDispatch> WrapItem(Model* model, MessagePtr message) {
    if (IsReport(*message)) {
        CComPtr<ReportItemObject> report = MakeObject<ReportItemObject>();
        report->SetMessage(std::move(message));
        report->Attach(model);
        return CComPtr<IDispatch>(static_cast<Outlook::_ReportItem*>(report.p));
    }
    CComPtr<MailItemObject> mail = MakeObject<MailItemObject>();
    mail->SetMessage(std::move(message));
    mail->Attach(model);
    return CComPtr<IDispatch>(static_cast<Outlook::_MailItem*>(mail.p));
}

// --- What both kinds of item answer ---------------------------------------------

HRESULT ItemCore::ClassOf(LONG* objectClass) {
    if (HRESULT hr = Reach(L"Class", objectClass); FAILED(hr))
        return hr;
    if (!objectClass)
        return E_POINTER;
    const std::string messageClass = message_->Class();
    if (StartsWith(messageClass, "REPORT."))
        *objectClass = Outlook::olReport;
    else if (StartsWith(messageClass, "IPM.Schedule.Meeting.Request"))
        *objectClass = Outlook::olMeetingRequest;
    else if (StartsWith(messageClass, "IPM.Post"))
        *objectClass = Outlook::olPost;
    else
        *objectClass = Outlook::olMail;
    return S_OK;
}

HRESULT ItemCore::ParentOf(IDispatch** parent) {
    if (HRESULT hr = Reach(L"Parent", parent); FAILED(hr))
        return hr;
    if (!parent)
        return E_POINTER;
    *parent = nullptr;
    FolderPtr folder = message_->Parent();
    if (!folder)
        return kNotFound;
    return HandOut(WrapFolder(model_, std::move(folder)), parent);
}

HRESULT ItemCore::TextOf(const wchar_t* member, BSTR* text) {
    if (HRESULT hr = Reach(member, text); FAILED(hr))
        return hr;
    if (!text)
        return E_POINTER;
    std::wstring value;
    if (SameName(member, L"EntryID")) {
        value = mailstore::EntryIdToHex(message_->Id());
    } else if (SameName(member, L"MessageClass")) {
        const std::string name = message_->Class();
        value.assign(name.begin(), name.end());
    } else if (SameName(member, L"Subject")) {
        value = message_->Subject();
    } else if (SameName(member, L"Body")) {
        value = message_->PlainBody();
    } else {
        value = message_->HtmlBody();
    }
    *text = Text(value);
    return *text ? S_OK : E_OUTOFMEMORY;
}

// The destination is taken by its entry identifier, so a folder from another
// apartment (a proxy) serves as well as one of this thread.
HRESULT ItemCore::MoveInto(Outlook::MAPIFolder* destination, IDispatch** item) {
    if (HRESULT hr = Reach(L"Move", item); FAILED(hr))
        return hr;
    if (!item)
        return E_POINTER;
    *item = nullptr;
    if (!destination)
        return E_INVALIDARG;
    CComBSTR entryId;
    {
        // Outlook reads its own folder: no call of the add-in's.
        platform::calls::WorldsOwnCalls own;
        if (HRESULT hr = destination->get_EntryID(&entryId); FAILED(hr))
            return hr;
    }
    const auto id = EntryIdArgument(entryId);
    FolderPtr folder = id ? mailstore::Model::Process().FindFolder(*id) : nullptr;
    if (!folder)
        return kNotFound;
    message_ = message_->MoveTo(folder);
    return HandOut(WrapItem(model_, message_), item);
}

bool ItemCore::InvokeShared(DISPID id, DISPPARAMS* params, VARIANT* result, UINT* argumentError,
                            HRESULT* hr) {
    BSTR text = nullptr;
    switch (id) {
        case DISPID_Outlook_Class: {
            LONG objectClass = 0;
            if (SUCCEEDED(*hr = ClassOf(&objectClass)))
                ReturnLong(result, objectClass);
            return true;
        }
        case DISPID_Outlook_Parent: {
            IDispatch* parent = nullptr;
            if (SUCCEEDED(*hr = ParentOf(&parent)))
                ReturnObject(result, parent);
            return true;
        }
        case DISPID_Outlook_EntryID:
            *hr = ReturnTextOf(result, TextOf(L"EntryID", &text), &text);
            return true;
        case DISPID_Outlook_MailItem_MessageClass:
            *hr = ReturnTextOf(result, TextOf(L"MessageClass", &text), &text);
            return true;
        case DISPID_Outlook_MailItem_Subject:
            *hr = ReturnTextOf(result, TextOf(L"Subject", &text), &text);
            return true;
        case DISPID_Outlook_MailItem_Move: {
            const VARIANT destination = ArgumentAt(params, 0);
            CComPtr<Outlook::MAPIFolder> folder;
            if (V_VT(&destination) != VT_DISPATCH || !V_DISPATCH(&destination) ||
                FAILED(V_DISPATCH(&destination)
                           ->QueryInterface(__uuidof(Outlook::MAPIFolder),
                                            reinterpret_cast<void**>(&folder)))) {
                *hr = BadArgument(argumentError, 0);
                return true;
            }
            IDispatch* moved = nullptr;
            if (SUCCEEDED(*hr = MoveInto(folder, &moved)))
                ReturnObject(result, moved);
            return true;
        }
        default:
            return false;
    }
}

// --- Mail item ----------------------------------------------------------------

namespace {
constexpr std::array<DispatchMember, 18> kMailItemMembers{{
    {L"Class", DISPID_Outlook_Class, DISPATCH_PROPERTYGET, 0},
    {L"Parent", DISPID_Outlook_Parent, DISPATCH_PROPERTYGET, 0},
    {L"Body", DISPID_Outlook_MailItem_Body, DISPATCH_PROPERTYGET, 0},
    {L"Body", DISPID_Outlook_MailItem_Body, DISPATCH_PROPERTYPUT, 1},
    {L"EntryID", DISPID_Outlook_EntryID, DISPATCH_PROPERTYGET, 0},
    {L"MAPIOBJECT", DISPID_Outlook_MAPIOBJECT, DISPATCH_PROPERTYGET, 0},
    {L"MessageClass", DISPID_Outlook_MailItem_MessageClass, DISPATCH_PROPERTYGET, 0},
    {L"Size", DISPID_Outlook_MailItem_Size, DISPATCH_PROPERTYGET, 0},
    {L"Subject", DISPID_Outlook_MailItem_Subject, DISPATCH_PROPERTYGET, 0},
    {L"UnRead", DISPID_Outlook_MailItem_UnRead, DISPATCH_PROPERTYGET, 0},
    {L"UnRead", DISPID_Outlook_MailItem_UnRead, DISPATCH_PROPERTYPUT, 1},
    {L"Move", DISPID_Outlook_MailItem_Move, DISPATCH_METHOD, 1},
    {L"Save", DISPID_Outlook_MailItem_Save, DISPATCH_METHOD, 0},
    {L"HTMLBody", DISPID_Outlook_MailItem_HTMLBody, DISPATCH_PROPERTYGET, 0},
    {L"HTMLBody", DISPID_Outlook_MailItem_HTMLBody, DISPATCH_PROPERTYPUT, 1},
    {L"ReadReceiptRequested", DISPID_Outlook_MailItem_ReadReceiptRequested, DISPATCH_PROPERTYGET,
     0},
    {L"ReadReceiptRequested", DISPID_Outlook_MailItem_ReadReceiptRequested, DISPATCH_PROPERTYPUT,
     1},
    {L"ReceivedTime", DISPID_Outlook_MailItem_ReceivedTime, DISPATCH_PROPERTYGET, 0},
}};
}  // namespace

MailItemObject::MailItemObject()
    : ItemCore(L"MailItem", __uuidof(Outlook::_MailItem)), DualInterface(kMailItemMembers) {}

HRESULT MailItemObject::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT* argumentError) {
    HRESULT hr = S_OK;
    // A property put carries its value as a named argument (DISPID_PROPERTYPUT).
    DISPPARAMS positional{};
    if ((flags & DISPATCH_PROPERTYPUT) && params && params->cNamedArgs == 1 &&
        params->rgdispidNamedArgs && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT) {
        positional = *params;
        positional.cNamedArgs = 0;
        positional.rgdispidNamedArgs = nullptr;
        params = &positional;
    }
    const DispatchMember* member = MemberToInvoke(id, flags, params, &hr);
    if (!member)
        return hr;
    if (member->kind == DISPATCH_PROPERTYPUT) {
        if (member->id == DISPID_Outlook_MailItem_Body ||
            member->id == DISPID_Outlook_MailItem_HTMLBody) {
            std::wstring text;
            if (FAILED(hr = PutText(params, argumentError, text)))
                return hr;
            CComBSTR body(static_cast<int>(text.size()), text.data());
            return member->id == DISPID_Outlook_MailItem_Body ? put_Body(body) : put_HTMLBody(body);
        }
        VARIANT value;
        VariantInit(&value);
        VARIANT given = ArgumentAt(params, 0);
        if (FAILED(VariantChangeType(&value, &given, 0, VT_BOOL)))
            return BadArgument(argumentError, 0);
        return member->id == DISPID_Outlook_MailItem_UnRead
                   ? put_UnRead(V_BOOL(&value))
                   : put_ReadReceiptRequested(V_BOOL(&value));
    }
    if (InvokeShared(member->id, params, result, argumentError, &hr))
        return hr;
    BSTR text = nullptr;
    switch (member->id) {
        case DISPID_Outlook_MailItem_Size: {
            LONG size = 0;
            if (SUCCEEDED(hr = get_Size(&size)))
                ReturnLong(result, size);
            return hr;
        }
        case DISPID_Outlook_MailItem_Body:
            return ReturnTextOf(result, get_Body(&text), &text);
        case DISPID_Outlook_MailItem_HTMLBody:
            return ReturnTextOf(result, get_HTMLBody(&text), &text);
        case DISPID_Outlook_MAPIOBJECT: {
            IUnknown* message = nullptr;
            if (SUCCEEDED(hr = get_MAPIOBJECT(&message)))
                ReturnUnknown(result, message);
            return hr;
        }
        case DISPID_Outlook_MailItem_UnRead:
        case DISPID_Outlook_MailItem_ReadReceiptRequested: {
            VARIANT_BOOL flag = VARIANT_FALSE;
            hr = member->id == DISPID_Outlook_MailItem_UnRead ? get_UnRead(&flag)
                                                              : get_ReadReceiptRequested(&flag);
            if (SUCCEEDED(hr))
                ReturnBool(result, flag != VARIANT_FALSE);
            return hr;
        }
        case DISPID_Outlook_MailItem_Save:
            return Save();
        default: {
            DATE received = 0;
            if (SUCCEEDED(hr = get_ReceivedTime(&received)))
                ReturnDate(result, received);
            return hr;
        }
    }
}

STDMETHODIMP MailItemObject::get_Class(LONG* objectClass) {
    return ClassOf(objectClass);
}

STDMETHODIMP MailItemObject::get_Parent(IDispatch** parent) {
    return ParentOf(parent);
}

STDMETHODIMP MailItemObject::get_Body(BSTR* body) {
    return TextOf(L"Body", body);
}

// Outlook keeps the HTML body in step with a plain body written.
STDMETHODIMP MailItemObject::put_Body(BSTR body) {
    if (HRESULT hr = Reach(L"Body"); FAILED(hr))
        return hr;
    message_->SetPlainBody(body ? std::wstring(body, SysStringLen(body)) : std::wstring());
    return S_OK;
}

STDMETHODIMP MailItemObject::get_EntryID(BSTR* entryId) {
    return TextOf(L"EntryID", entryId);
}

STDMETHODIMP MailItemObject::get_MAPIOBJECT(IUnknown** message) {
    if (HRESULT hr = Reach(L"MAPIOBJECT", message); FAILED(hr))
        return hr;
    if (!message)
        return E_POINTER;
    *message = nullptr;
    IMessage* mapi = nullptr;
    const HRESULT hr = mapiview::MessageFor(message_, &mapi);
    *message = mapi;
    return hr;
}

STDMETHODIMP MailItemObject::get_MessageClass(BSTR* messageClass) {
    return TextOf(L"MessageClass", messageClass);
}

STDMETHODIMP MailItemObject::get_Size(LONG* size) {
    if (HRESULT hr = Reach(L"Size", size); FAILED(hr))
        return hr;
    if (!size)
        return E_POINTER;
    *size = static_cast<LONG>(message_->Size());
    return S_OK;
}

STDMETHODIMP MailItemObject::get_Subject(BSTR* subject) {
    return TextOf(L"Subject", subject);
}

STDMETHODIMP MailItemObject::get_UnRead(VARIANT_BOOL* unread) {
    if (HRESULT hr = Reach(L"UnRead", unread); FAILED(hr))
        return hr;
    if (!unread)
        return E_POINTER;
    *unread = message_->IsRead() ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP MailItemObject::put_UnRead(VARIANT_BOOL unread) {
    if (HRESULT hr = Reach(L"UnRead"); FAILED(hr))
        return hr;
    message_->SetRead(unread == VARIANT_FALSE);
    return S_OK;
}

STDMETHODIMP MailItemObject::Move(Outlook::MAPIFolder* destination, IDispatch** item) {
    return MoveInto(destination, item);
}

// The model keeps every change as it is made: saving has nothing left to write.
STDMETHODIMP MailItemObject::Save() {
    return Reach(L"Save");
}

STDMETHODIMP MailItemObject::get_HTMLBody(BSTR* body) {
    return TextOf(L"HTMLBody", body);
}

// Outlook makes the plain body the text of an HTML body written.
STDMETHODIMP MailItemObject::put_HTMLBody(BSTR body) {
    if (HRESULT hr = Reach(L"HTMLBody"); FAILED(hr))
        return hr;
    message_->SetHtmlBody(body ? std::wstring(body, SysStringLen(body)) : std::wstring());
    return S_OK;
}

STDMETHODIMP MailItemObject::get_ReadReceiptRequested(VARIANT_BOOL* requested) {
    if (HRESULT hr = Reach(L"ReadReceiptRequested", requested); FAILED(hr))
        return hr;
    if (!requested)
        return E_POINTER;
    const bool asked = message_->GetBool(mailstore::tags::kReadReceiptRequested).value_or(false);
    *requested = asked ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// Clearing the request also clears the pending receipt, so none is sent.
STDMETHODIMP MailItemObject::put_ReadReceiptRequested(VARIANT_BOOL requested) {
    if (HRESULT hr = Reach(L"ReadReceiptRequested"); FAILED(hr))
        return hr;
    const bool asked = requested != VARIANT_FALSE;
    message_->Set(mailstore::tags::kReadReceiptRequested, asked);
    if (!asked) {
        const std::uint32_t flags = message_->Flags() & ~mailstore::kMsgFlagReceiptPending;
        message_->Set(mailstore::tags::kMessageFlags, static_cast<std::int32_t>(flags));
    }
    return S_OK;
}

STDMETHODIMP MailItemObject::get_ReceivedTime(DATE* received) {
    if (HRESULT hr = Reach(L"ReceivedTime", received); FAILED(hr))
        return hr;
    if (!received)
        return E_POINTER;
    return LocalReceivedTime(*message_, received) ? S_OK : E_FAIL;
}

// --- Report item --------------------------------------------------------------

namespace {
constexpr std::array<DispatchMember, 6> kReportItemMembers{{
    {L"Class", DISPID_Outlook_Class, DISPATCH_PROPERTYGET, 0},
    {L"Parent", DISPID_Outlook_Parent, DISPATCH_PROPERTYGET, 0},
    {L"EntryID", DISPID_Outlook_EntryID, DISPATCH_PROPERTYGET, 0},
    {L"MessageClass", DISPID_Outlook_MailItem_MessageClass, DISPATCH_PROPERTYGET, 0},
    {L"Subject", DISPID_Outlook_MailItem_Subject, DISPATCH_PROPERTYGET, 0},
    {L"Move", DISPID_Outlook_MailItem_Move, DISPATCH_METHOD, 1},
}};
}  // namespace

ReportItemObject::ReportItemObject()
    : ItemCore(L"ReportItem", __uuidof(Outlook::_ReportItem)), DualInterface(kReportItemMembers) {}

HRESULT ReportItemObject::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                       EXCEPINFO*, UINT* argumentError) {
    HRESULT hr = S_OK;
    const DispatchMember* member = MemberToInvoke(id, flags, params, &hr);
    if (!member)
        return hr;
    InvokeShared(member->id, params, result, argumentError, &hr);
    return hr;
}

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
