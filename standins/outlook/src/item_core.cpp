#include "item_core.h"

#include <string_view>

#include "folder.h"
#include "mail_item.h"
#include "report_item.h"

namespace outlook::objects {

namespace {

using mailstore::FolderPtr;
using mailstore::MessagePtr;

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           SameName(std::wstring(text.begin(), text.begin() + static_cast<long>(prefix.size())),
                    std::wstring(prefix.begin(), prefix.end()));
}

}  // namespace

CComPtr<IDispatch> WrapItem(Model* model, MessagePtr message) {
    if (StartsWith(message->Class(), "REPORT.")) {
        CComPtr<ReportItemObject> report = MakeObject<ReportItemObject>(model);
        report->SetMessage(std::move(message));
        return CComPtr<IDispatch>(static_cast<Outlook::_ReportItem*>(report.p));
    }
    CComPtr<MailItemObject> mail = MakeObject<MailItemObject>(model);
    mail->SetMessage(std::move(message));
    return CComPtr<IDispatch>(static_cast<Outlook::_MailItem*>(mail.p));
}

HRESULT ItemCore::ClassOf(LONG* objectClass) {
    if (HRESULT hr = Reach(L"Class", objectClass); FAILED(hr))
        return hr;
    const std::string messageClass = m_message->Class();
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
    *parent = nullptr;
    FolderPtr folder = m_message->Parent();
    if (!folder)
        return kNotFound;
    return HandOut(WrapFolder(m_model, std::move(folder)), parent);
}

HRESULT ItemCore::TextOf(const wchar_t* member, BSTR* text) {
    if (HRESULT hr = Reach(member, text); FAILED(hr))
        return hr;
    std::wstring value;
    if (SameName(member, L"EntryID")) {
        value = mailstore::EntryIdToHex(m_message->Id());
    } else if (SameName(member, L"MessageClass")) {
        const std::string name = m_message->Class();
        value.assign(name.begin(), name.end());
    } else if (SameName(member, L"Subject")) {
        value = m_message->Subject();
    } else if (SameName(member, L"Body")) {
        value = m_message->PlainBody();
    } else {
        value = m_message->HtmlBody();
    }
    return GiveText(value, text);
}

// The destination is taken by its entry identifier, so a folder from another
// apartment (a proxy) serves as well as one of this thread.
HRESULT ItemCore::MoveInto(Outlook::MAPIFolder* destination, IDispatch** item) {
    if (HRESULT hr = Reach(L"Move", item); FAILED(hr))
        return hr;
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
    m_message = m_message->MoveTo(folder);
    return HandOut(WrapItem(m_model, m_message), item);
}

}  // namespace outlook::objects
