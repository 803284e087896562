// Noticing new mail. Two sources end in CConnect::OnNewMail on Outlook's
// user-interface thread: the safe-item library's new-mail event, and Extended
// MAPI's store notifications, which are copied inside MAPI's call and handled
// later through the hidden window's messages.
#pragma once

#include <mapidefs.h>

// The advise callback of every store's sink: copies each new-mail
// notification, and each object-created one for a message, and posts the copy
// to `window` (the hidden window) with the store's index. Returns 0.
ULONG OnNewMailNotif(ULONG count, LPNOTIFICATION notifications, ULONG_PTR window,
                     ULONG_PTR storeIndex);

// A notification copied with fresh MAPI buffers for its identifiers, and its
// release (each buffer freed once, then the block).
LPNOTIFICATION CopyNotification(const NOTIFICATION& notification);
void FreeNotificationCopy(LPNOTIFICATION copy);
