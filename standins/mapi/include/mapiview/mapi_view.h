// Extended MAPI as a view of the mail store model: the session, the message
// store table, stores, folders and messages read and write the model's own
// objects. The view is one shared library (libmapiview.so), linked by the
// MAPI library module (mapi32.dll) that the add-in loads and by Outlook's
// stand-in, which hands these objects out as its MAPIOBJECT properties: both
// reach the same objects and the same allocator.
#pragma once

#include <mailstore/model.h>
#include <mapix.h>
#include <mapiutil.h>

namespace mapiview {

// ---- What mapi32.dll exports ---------------------------------------------

HRESULT Initialize(LPVOID init);
void Uninitialize();
// A session over the named profile, or the model's current one with
// MAPI_USE_DEFAULT (or no name). MAPI_E_NOT_INITIALIZED before Initialize;
// MAPI_E_LOGON_FAILED when there is no such profile.
HRESULT LogonEx(ULONG_PTR uiParam, LPSTR profileName, LPSTR password, ULONG flags,
                LPMAPISESSION* session);

// MAPI memory: a buffer, more memory chained to it, freed all at once with
// the buffer. FreeBuffer of null does nothing.
SCODE AllocateBuffer(ULONG size, LPVOID* buffer);
SCODE AllocateMore(ULONG size, LPVOID parent, LPVOID* buffer);
ULONG FreeBuffer(LPVOID buffer);

HRESULT GetOneProp(LPMAPIPROP object, ULONG tag, LPSPropValue* value);
HRESULT SetOneProp(LPMAPIPROP object, LPSPropValue value);
HRESULT QueryAllRows(LPMAPITABLE table, LPSPropTagArray columns, LPSRestriction restriction,
                     LPSSortOrderSet sortOrder, LONG maxRows, LPSRowSet* rows);
// A sink that calls `sink` on the calling thread, when that thread next
// pumps its messages, whichever thread notified.
HRESULT ThisThreadAdviseSink(LPMAPIADVISESINK sink, LPMAPIADVISESINK* wrapper);

// ---- What Outlook's stand-in asks for its MAPIOBJECT properties ----------

// The session over a profile (the namespace's MAPIOBJECT).
HRESULT SessionFor(const mailstore::ProfilePtr& profile, IMAPISession** session);
// The message itself (a mail item's MAPIOBJECT), as IMessage.
HRESULT MessageFor(const mailstore::MessagePtr& message, IMessage** object);

}  // namespace mapiview
