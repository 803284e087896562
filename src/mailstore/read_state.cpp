#include "mailstore/read_state.h"

#include <atlbase.h>
#include <mapidefs.h>
#include <mapiguid.h>
#include <mapitags.h>

#include "mailstore/mapi_functions.h"
#include "mailstore/mapi_object.h"
#include "support/log/logged_stage.h"
#include "support/log/trace_scope.h"

namespace {

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
