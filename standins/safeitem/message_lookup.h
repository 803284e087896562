// How the library finds the stored message behind an Outlook item.
#pragma once

#include <oaidl.h>

#include <mailstore/model.h>

namespace safeitem {

// The message `item` shows: found by the entry identifier of its MAPI
// message (the item's MAPIOBJECT), or of the item itself (its EntryID) when
// the item offers no MAPI object. MAPI_E_NOT_FOUND when the store has no such
// message, the item's own failure when it cannot be asked.
HRESULT FindMessageOf(IDispatch* item, mailstore::MessagePtr& message);

}  // namespace safeitem
