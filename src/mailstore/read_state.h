// A message's read state and its read receipt, changed through Extended MAPI
// on the message object that Outlook's item hands out as its MAPIOBJECT, so
// that no receipt ever leaves for a message the user did not read.
#pragma once

#include "mailstore/redemption_mng.h"

// Clears a pending read-receipt request so that a spammer never learns the
// message was seen; the message keeps its unread state. False when nothing
// was requested or a step failed.
bool SuppressReadReceipt(MailItemRef item);

// Sets the message's read state without sending a receipt, and saves it.
bool SetMessageUnread(MailItemRef item, bool unread);
