// Noticing new mail. Two sources end in the add-in's OnNewMail on Outlook's
// user-interface thread: the safe-item library's new-mail event, and Extended
// MAPI's store notifications, which are copied inside MAPI's call and handled
// later through the hidden window's messages.
#pragma once

#include <atlbase.h>
#include <mapidefs.h>
#include <outlook.h>

#include <functional>
#include <string>

#include "mailstore/mapi_helper.h"
#include "mailstore/redemption_mng.h"

// The advise callback of every store's sink: copies each new-mail
// notification, and each object-created one for a message, and posts the copy
// to `window` (the hidden window) with the store's index. Returns 0.
ULONG OnNewMailNotif(ULONG count, LPNOTIFICATION notifications, ULONG_PTR window,
                     ULONG_PTR storeIndex);

// A notification copied with fresh MAPI buffers for its identifiers, and its
// release (each buffer freed once, then the block).
LPNOTIFICATION CopyNotification(const NOTIFICATION& notification);
void FreeNotificationCopy(LPNOTIFICATION copy);

// From a notification or an event to the mail item, on Outlook's
// user-interface thread. Each step hands its result to the next through the
// handler it is given, so that the add-in object stays the one way from a
// message's identifier to its classification. Nothing removes duplicates.
class CNewMailDetection {
  public:
    using ItemIdHandler = std::function<void(std::wstring itemId)>;
    using MailHandler = std::function<void(MailItemRef item)>;

    // `application` is the add-in's pointer to Outlook, null until connection.
    CNewMailDetection(CMapiHelper& mapiHelper, const CComPtr<Outlook::_Application>& application);

    // Store notifications: the identifier of each new or created message
    // (its long-term form when a store gives it, else its own bytes as text)
    // to `onNewMail`. Nothing while the add-in is not logged in. Returns 0.
    ULONG OnStoreNotifications(ULONG count, LPNOTIFICATION notifications, size_t storeIndex,
                               bool loggedIn, const ItemIdHandler& onNewMail);
    // The mail item of that identifier, from Outlook's "MAPI" namespace, to
    // `processNewMail`; anything else is logged and dropped.
    void OpenNewMail(std::wstring itemId, const MailHandler& processNewMail);
    // The safe-item library's new-mail event: the item's identifier to
    // `onNewMail`, then the library told that nothing of it is kept.
    void OnLibraryNewMail(IDispatch* item, CRedemptionMng* library, const ItemIdHandler& onNewMail);

  private:
    CMapiHelper& m_mapiHelper;
    const CComPtr<Outlook::_Application>& m_application;
};
