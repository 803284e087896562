#include "filtering/new_mail_detection.h"

#include <atlbase.h>
#include <comdef.h>

#include <cstring>

#include "addin/workers/worker_messages.h"
#include "mailstore/mapi_functions.h"
#include "mailstore/mapi_object.h"
#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "support/utility/bstr_text.h"
#include "support/utility/entry_id_text.h"

namespace {

// The log knows these steps by the add-in object's names for them.
constexpr const char* kOnNewMail = "CConnect::OnNewMail";
constexpr const char* kOnNewMail2 = "CConnect::OnNewMail2";
constexpr const char* kRedemptionNewMail = "CConnect::OnRedemptionNewMailImpl";
constexpr ULONG kMaxEntryIdSize = 1024;

LPENTRYID CopyEntryId(ULONG size, const ENTRYID* source) {
    return static_cast<LPENTRYID>(CopyToMapiBuffer(size, source));
}

void FreeEntryId(ULONG size, LPENTRYID id) {
    if (size != 0 && id)
        FreeMapiBuffer(id);
}

bool IsMessageNotification(const NOTIFICATION& notification) {
    return notification.ulEventType == fnevNewMail ||
           (notification.ulEventType == fnevObjectCreated &&
            notification.info.obj.ulObjType == MAPI_MESSAGE);
}

}  // namespace

LPNOTIFICATION CopyNotification(const NOTIFICATION& source) {
    auto copy = std::make_unique<NOTIFICATION>();
    std::memset(copy.get(), 0, sizeof(NOTIFICATION));
    copy->ulEventType = source.ulEventType;
    if (source.ulEventType == fnevNewMail) {
        const NEWMAIL_NOTIFICATION& from = source.info.newmail;
        NEWMAIL_NOTIFICATION& to = copy->info.newmail;
        to.cbEntryID = from.cbEntryID;
        to.cbParentID = from.cbParentID;
        to.ulFlags = from.ulFlags;
        to.ulMessageFlags = from.ulMessageFlags;
        to.lpEntryID = CopyEntryId(from.cbEntryID, from.lpEntryID);
        to.lpParentID = CopyEntryId(from.cbParentID, from.lpParentID);
    } else if (source.ulEventType == fnevObjectCreated) {
        const OBJECT_NOTIFICATION& from = source.info.obj;
        OBJECT_NOTIFICATION& to = copy->info.obj;
        to.cbEntryID = from.cbEntryID;
        to.cbOldID = from.cbOldID;
        to.cbOldParentID = from.cbOldParentID;
        to.cbParentID = from.cbParentID;
        to.lpEntryID = CopyEntryId(from.cbEntryID, from.lpEntryID);
        to.lpOldID = CopyEntryId(from.cbOldID, from.lpOldID);
        to.lpOldParentID = CopyEntryId(from.cbOldParentID, from.lpOldParentID);
        to.lpParentID = CopyEntryId(from.cbParentID, from.lpParentID);
    }
    return copy.release();
}

void FreeNotificationCopy(LPNOTIFICATION copy) {
    if (!copy)
        return;
    std::unique_ptr<NOTIFICATION> owned(copy);
    if (copy->ulEventType == fnevNewMail) {
        NEWMAIL_NOTIFICATION& mail = copy->info.newmail;
        FreeEntryId(mail.cbEntryID, mail.lpEntryID);
        FreeEntryId(mail.cbParentID, mail.lpParentID);
    } else if (copy->ulEventType == fnevObjectCreated) {
        OBJECT_NOTIFICATION& object = copy->info.obj;
        FreeEntryId(object.cbEntryID, object.lpEntryID);
        FreeEntryId(object.cbOldID, object.lpOldID);
        FreeEntryId(object.cbOldParentID, object.lpOldParentID);
        FreeEntryId(object.cbParentID, object.lpParentID);
    }
}

ULONG OnNewMailNotif(ULONG count, LPNOTIFICATION notifications, ULONG_PTR window,
                     ULONG_PTR storeIndex) {
    CLogger::GetInstance().LogNumber("OnNewMailNotif", L"cNotif ", count);
    const HWND target = reinterpret_cast<HWND>(window);
    if (!notifications || !target || count == 0)
        return 0;
    for (ULONG index = 0; index < count; ++index) {
        if (!IsMessageNotification(notifications[index]))
            continue;
        LPNOTIFICATION copy = CopyNotification(notifications[index]);
        // A copy that cannot be posted would never be freed by the handler.
        if (!PostMessageW(target, WM_BV_MAPI_NOTIFY, reinterpret_cast<WPARAM>(copy),
                          static_cast<LPARAM>(storeIndex)))
            FreeNotificationCopy(copy);
    }
    return 0;
}

CNewMailDetection::CNewMailDetection(CMapiHelper& mapiHelper,
                                     const CComPtr<Outlook::_Application>& application)
    : m_mapiHelper(mapiHelper), m_application(application) {}

ULONG CNewMailDetection::OnStoreNotifications(ULONG count, LPNOTIFICATION notifications,
                                              size_t storeIndex, bool loggedIn,
                                              const ItemIdHandler& onNewMail) {
    CTraceScope trace(kOnNewMail2);
    if (!loggedIn)
        return 0;
    if (!notifications) {
        CLogger::GetInstance().LogMessage(kOnNewMail2, L"Notification is null");
        return 0;
    }
    for (ULONG index = 0; index < count; ++index) {
        const NOTIFICATION& notification = notifications[index];
        if (notification.ulEventType != fnevNewMail &&
            notification.ulEventType != fnevObjectCreated)
            continue;
        // Both kinds carry the message's identifier first.
        const ULONG size = notification.info.newmail.cbEntryID;
        const LPENTRYID entryId = notification.info.newmail.lpEntryID;
        if (size < 1 || size > kMaxEntryIdSize || !entryId)
            continue;
        std::wstring itemId;
        if (!m_mapiHelper.GetExtendedMsgEntryIdStr(size, entryId, storeIndex, itemId))
            itemId = EntryIdToText(entryId, size);
        if (itemId.empty()) {
            CLogger::GetInstance().LogMessage(kOnNewMail2, L"OOM error");
            continue;
        }
        onNewMail(std::move(itemId));
    }
    return 0;
}

void CNewMailDetection::OpenNewMail(std::wstring itemId, const MailHandler& processNewMail) {
    CTraceScope trace(kOnNewMail);
    CLogger& log = CLogger::GetInstance();
    if (itemId.empty()) {
        log.LogMessage(kOnNewMail, L"empty item id");
        return;
    }
    log.LogMessage(kOnNewMail, L"ItemID: " + itemId);
    RunLoggedStage(kOnNewMail, L"Unhandled exception", [&] {
        CComPtr<Outlook::_NameSpace> names;
        if (!m_application ||
            LogIfFailed(kOnNewMail, m_application->GetNamespace(CComBSTR(L"MAPI"), &names)) ||
            !names) {
            log.LogMessage(kOnNewMail, L"Could not get namespace");
            return;
        }
        CComVariant noStore;
        noStore.vt = VT_ERROR;
        noStore.scode = DISP_E_PARAMNOTFOUND;
        CComPtr<IDispatch> item;
        if (LogIfFailed(kOnNewMail,
                        names->GetItemFromID(CComBSTR(itemId.c_str()), noStore, &item)) ||
            !item) {
            log.LogMessage(kOnNewMail, L"Could not get item from ID");
            return;
        }
        CComQIPtr<Outlook::_MailItem> mailItem(item);
        if (mailItem && GetMapiObject(mailItem, IID_IUnknown)) {
            log.LogMessage(kOnNewMail, L"if(ptrMailItem != NULL)");
            processNewMail(MailItemRef(mailItem));
        } else {
            log.LogMessage(kOnNewMail, L"Can not get MAPI object");
        }
    });
}

void CNewMailDetection::OnLibraryNewMail(IDispatch* item, CRedemptionMng* library,
                                         const ItemIdHandler& onNewMail) {
    CTraceScope trace(kRedemptionNewMail);
    CLogger& log = CLogger::GetInstance();
    log.LogMessage(kRedemptionNewMail, L"OnRedemptionNewMailImpl!");
    RunLoggedStage(kRedemptionNewMail, L"Unhandled exception", [&] {
        CComQIPtr<bvoltool::IBVNewMailItem> newMail(item);
        CComBSTR entryId;
        if (newMail && !LogIfFailed(kRedemptionNewMail, newMail->get_EntryID(&entryId)))
            onNewMail(TextOf(entryId));
        // The library is told after each use that nothing of it is kept. Its
        // failure is a COM error, logged here rather than thrown across the
        // event's call.
        if (library)
            library->CleanupUtils();
    });
    log.LogMessage(kRedemptionNewMail, L"OnRedemptionNewMailImpl!");
}
