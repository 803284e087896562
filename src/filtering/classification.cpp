#include "filtering/classification.h"

#include <atlbase.h>
#include <mapidefs.h>
#include <mapiguid.h>
#include <mapitags.h>

#include <memory>

#include "addin/server/connect.h"
#include "filtering/spam_folder.h"
#include "mailstore/mapi_functions.h"
#include "mailstore/mapi_object.h"
#include "service/brevint_proxy.h"
#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "support/utility/bstr_text.h"

namespace {

constexpr const char* kProcessNewMail = "CConnect::ProcessNewMail";

// The message behind Outlook's item, as Extended MAPI sees it.
CComPtr<IMessage> MapiMessageOf(Outlook::_MailItem* item) {
    return GetMapiObjectAs<IMessage>(item, IID_IMessage);
}

// The message flags; false when the property cannot be read.
bool ReadMessageFlags(IMessage* message, ULONG& flags) {
    if (!pfnHrGetOneProp)
        return false;
    LPSPropValue value = nullptr;
    const bool read =
        !LogIfFailed("ReadMessageFlags", pfnHrGetOneProp(message, PR_MESSAGE_FLAGS, &value)) &&
        value != nullptr;
    if (read)
        flags = static_cast<ULONG>(value->Value.l);
    FreeMapiBuffer(value);
    return read;
}

bool SaveItem(const char* function, Outlook::_MailItem* item) {
    return !LogIfFailed(function, item->Save());
}

}  // namespace

bool SuppressReadReceipt(MailItemRef item) {
    constexpr const char* kFunction = "SuppressReadReceipt";
    CTraceScope trace(kFunction);
    if (!item)
        return false;
    VARIANT_BOOL requested = VARIANT_FALSE;
    if (LogIfFailed(kFunction, item->get_ReadReceiptRequested(&requested)) ||
        requested != VARIANT_TRUE)
        return false;
    const HRESULT cleared = item->put_ReadReceiptRequested(VARIANT_FALSE);
    SaveItem(kFunction, item);
    if (LogIfFailed(kFunction, cleared))
        return false;
    CComPtr<IMessage> message = MapiMessageOf(item);
    ULONG flags = 0;
    if (!message || !ReadMessageFlags(message, flags))
        return false;
    if (!(flags & MSGFLAG_READ)) {
        // Marking it read with the receipt suppressed takes the pending
        // receipt away; the message is then made unread again.
        LogIfFailed(kFunction, message->SetReadFlag(SUPPRESS_RECEIPT));
        LogIfFailed(kFunction, message->SetReadFlag(CLEAR_READ_FLAG));
    }
    if (LogIfFailed(kFunction, message->SaveChanges(KEEP_OPEN_READWRITE | FORCE_SAVE)))
        return false;
    return SaveItem(kFunction, item);
}

bool SetMessageUnread(MailItemRef item, bool unread) {
    constexpr const char* kFunction = "SetMessageUnread";
    CTraceScope trace(kFunction);
    CComPtr<IMessage> message = MapiMessageOf(item);
    if (!message)
        return false;
    ULONG flags = 0;
    if (ReadMessageFlags(message, flags)) {
        const bool isRead = (flags & MSGFLAG_READ) != 0;
        if (isRead == unread) {
            LogIfFailed(kFunction,
                        message->SetReadFlag(isRead ? CLEAR_READ_FLAG : SUPPRESS_RECEIPT));
            if (LogIfFailed(kFunction, message->SaveChanges(KEEP_OPEN_READWRITE | FORCE_SAVE)))
                return false;
        }
    }
    return SaveItem(kFunction, item);
}

void CConnect::ProcessNewMail(MailItemRef item) {
    CTraceScope trace(kProcessNewMail);
    CLogger& log = CLogger::GetInstance();

    // The cheap tests come first: class, size, sender.
    CComBSTR messageClass;
    if (LogIfFailed(kProcessNewMail, item->get_MessageClass(&messageClass)) ||
        messageClass.Length() < 1) {
        log.LogMessage(kProcessNewMail, L"if (FAILED(hr) || bstrMailClass.Length()<1)");
        return;
    }
    log.LogMessage(kProcessNewMail, L"mailclass: " + TextOf(messageClass));
    // Only plain mail is judged: signed, encrypted and meeting mail keep
    // classes of their own, and a class is compared in its exact letter case.
    if (TextOf(messageClass) != L"IPM.Note") {
        log.LogMessage(kProcessNewMail, L"mailclass error");
        return;
    }
    LONG size = 0;
    LogIfFailed(kProcessNewMail, item->get_Size(&size));
    if (static_cast<DWORD>(size) > kMaxJudgedMessageSize) {
        log.LogNumber(kProcessNewMail, L"To big message size: ", static_cast<DWORD>(size));
        return;
    }
    DWORD checkMails = 0;
    if (!CSettings::GetCheckMails(checkMails) || checkMails != 1) {
        if (IsSameExchangeServer(item)) {
            log.LogMessage(kProcessNewMail, L"Sender has the same exchange server");
            return;
        }
    }

    std::unique_ptr<wchar_t[]> text;
    DWORD length = 0;
    std::wstring headers;
    GetMessageRFC822(item, text, length, headers);
    log.LogMessage(kProcessNewMail, L"Headers:>>>" + headers + L"<<<");
    // Without a text the merge fails and the verdict is on an empty text. The
    // text is taken by its length: a NUL byte in a message must not hide the
    // rest of it from the filter.
    const std::wstring message =
        text && length > 0 ? std::wstring(text.get(), length - 1) : std::wstring();
    if (!m_proxy)
        m_proxy = &CBrevintProxy::GetInstance();
    bool judged = false;
    const bool spam = MergeAndJudge(*m_proxy, message, headers, kProcessNewMail, &judged);

    CComBSTR subject;
    LogIfFailed(kProcessNewMail, item->get_Subject(&subject));
    const std::wstring mailLine = L"MAIL - From: Subj:" + TextOf(subject);
    if (!judged) {
        log.LogMessage(kProcessNewMail, mailLine + L" not judged: left where it is");
        return;
    }
    log.LogMessage(kProcessNewMail, mailLine + (spam ? L" SPAM: 1" : L" SPAM: 0"));
    if (!spam)
        return;

    SuppressReadReceipt(item);
    SetMessageUnread(item, CSettings::MovedMailStaysUnread());
    IsBrevintFolderExist(true);
    CComPtr<Outlook::MAPIFolder> spamFolder;
    FindSPAMfolder(spamFolder);
    CComPtr<IDispatch> moved;
    const HRESULT hr = spamFolder ? item->Move(spamFolder, &moved) : E_POINTER;
    LogIfFailed(kProcessNewMail, hr);
    log.LogMessage(kProcessNewMail,
                   mailLine + (SUCCEEDED(hr) ? L"was succesfuly moved" : L"move error"));
}
