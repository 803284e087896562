#include "filtering/classification.h"

#include <atlbase.h>

#include <memory>

#include "mailstore/read_state.h"
#include "service/brevint_proxy.h"
#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "support/settings/settings.h"
#include "support/utility/bstr_text.h"

namespace {

// The log knows the new-mail path by the add-in object's name for it.
constexpr const char* kProcessNewMail = "CConnect::ProcessNewMail";

}  // namespace

CMailClassifier::CMailClassifier(ProxySource proxy, const CSpamFolder& spamFolder)
    : m_proxy(std::move(proxy)), m_spamFolder(spamFolder) {}

void CMailClassifier::ProcessNewMail(MailItemRef item) {
    CTraceScope trace(kProcessNewMail);
    if (!IsToBeJudged(item))
        return;
    std::wstring mailLine;
    if (JudgeAsSpam(item, mailLine))
        MoveToSpamFolder(item, mailLine);
}

// The cheap tests come first: class, size, sender.
bool CMailClassifier::IsToBeJudged(Outlook::_MailItem* item) const {
    CLogger& log = CLogger::GetInstance();
    CComBSTR messageClass;
    if (LogIfFailed(kProcessNewMail, item->get_MessageClass(&messageClass)) ||
        messageClass.Length() < 1) {
        log.LogMessage(kProcessNewMail, L"if (FAILED(hr) || bstrMailClass.Length()<1)");
        return false;
    }
    log.LogMessage(kProcessNewMail, L"mailclass: " + TextOf(messageClass));
    // Only plain mail is judged: signed, encrypted and meeting mail keep
    // classes of their own, and a class is compared in its exact letter case.
    if (TextOf(messageClass) != L"IPM.Note") {
        log.LogMessage(kProcessNewMail, L"mailclass error");
        return false;
    }
    LONG size = 0;
    LogIfFailed(kProcessNewMail, item->get_Size(&size));
    if (static_cast<DWORD>(size) > kMaxJudgedMessageSize) {
        log.LogNumber(kProcessNewMail, L"To big message size: ", static_cast<DWORD>(size));
        return false;
    }
    DWORD checkMails = 0;
    if (!CSettings::GetCheckMails(checkMails) || checkMails != 1) {
        if (IsSameExchangeServer(item)) {
            log.LogMessage(kProcessNewMail, L"Sender has the same exchange server");
            return false;
        }
    }
    return true;
}

// The verdict on the message's text, logged with its subject in `mailLine`;
// a message left unjudged is not spam.
bool CMailClassifier::JudgeAsSpam(Outlook::_MailItem* item, std::wstring& mailLine) const {
    CLogger& log = CLogger::GetInstance();
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
    bool judged = false;
    const bool spam = MergeAndJudge(m_proxy(), message, headers, kProcessNewMail, &judged);

    CComBSTR subject;
    LogIfFailed(kProcessNewMail, item->get_Subject(&subject));
    mailLine = L"MAIL - From: Subj:" + TextOf(subject);
    if (!judged) {
        log.LogMessage(kProcessNewMail, mailLine + L" not judged: left where it is");
        return false;
    }
    log.LogMessage(kProcessNewMail, mailLine + (spam ? L" SPAM: 1" : L" SPAM: 0"));
    return spam;
}

// Spam leaves no read receipt behind, takes the read state the settings ask
// for, and goes into the spam folder, made first when it is missing.
void CMailClassifier::MoveToSpamFolder(MailItemRef item, const std::wstring& mailLine) const {
    SuppressReadReceipt(item);
    SetMessageUnread(item, CSettings::MovedMailStaysUnread());
    m_spamFolder.MakeSure(true);
    CComPtr<Outlook::MAPIFolder> spamFolder;
    m_spamFolder.Find(spamFolder);
    CComPtr<IDispatch> moved;
    const HRESULT hr = spamFolder ? item->Move(spamFolder, &moved) : E_POINTER;
    LogIfFailed(kProcessNewMail, hr);
    CLogger::GetInstance().LogMessage(
        kProcessNewMail, mailLine + (SUCCEEDED(hr) ? L"was succesfuly moved" : L"move error"));
}
