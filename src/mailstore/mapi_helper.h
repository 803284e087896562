// Extended MAPI without linking to it: the library found and loaded at run
// time, Outlook's own session shared (or one of our own), the user's message
// stores opened once, new-mail advise sinks registered on them, and notified
// entry identifiers turned into the messages' long-term identifiers. Used
// only on Outlook's user-interface thread.
#pragma once

#include <atlbase.h>
#include <mapix.h>

#include <string>
#include <vector>

#include "mailstore/mapi_advise_sink.h"
#include "mailstore/mapi_functions.h"

class CMapiHelper {
  public:
    // Loads the library and initialises MAPI; without the library the helper
    // stays unusable and says so in the log.
    CMapiHelper();
    ~CMapiHelper();
    CMapiHelper(const CMapiHelper&) = delete;
    CMapiHelper& operator=(const CMapiHelper&) = delete;

    // Finds Outlook's MAPI library (its installer component, the path the
    // mail client's registration names, then mapi32.dll) and its nine entry
    // points; false with the reason in the log.
    static bool LoadFunctions();
    // Lets the library go and forgets its entry points, as after a log-off.
    static void UnloadFunctions();

    // With Outlook's session when one is given, otherwise a logon of our own
    // to the default profile.
    HRESULT Login(IMAPISession* session);
    HRESULT GetMapiTable(IMAPITable** table, bool refresh);
    HRESULT GetMessageStores(std::vector<CComPtr<IMsgStore>>& stores, bool refresh);
    HRESULT GetMessageStoresAnyway();
    // Advises every store once, with one sink per store made from the
    // callback, the window and the store's index; the result of the last
    // store's Advise, E_FAIL when not possible or already done.
    HRESULT Advise(MapiNotifyCallback callback, ULONG eventMask, HWND window);
    void UnadviseAll();
    HRESULT Logoff();

    bool IsPublicFolder(IMsgStore* store);
    // The long-term identifier of the object that store `storeIndex` opens by
    // the given identifier: a MAPI buffer the caller frees with
    // MAPIFreeBuffer, its size and the object's type.
    bool GetExtendedEntryId(ULONG cb, LPENTRYID entryId, size_t storeIndex, LPENTRYID* id,
                            ULONG* size, ULONG* objectType);
    // The long-term identifier of a notified message as text. Every opened
    // store is tried in list order, whichever store notified (`storeIndex`).
    bool GetExtendedMsgEntryIdStr(ULONG cb, LPENTRYID entryId, size_t storeIndex,
                                  std::wstring& text);
    // One binary property's bytes.
    static HRESULT GetPropValue(IMAPIProp* object, ULONG tag, std::vector<BYTE>& bytes);

  private:
    void ReleaseStores();

    CComPtr<IMAPISession> m_session;
    CComPtr<IMAPITable> m_table;
    std::vector<CComPtr<IMsgStore>> m_stores;
    std::vector<CComPtr<IMAPIAdviseSink>> m_sinks;
    DWORD m_isLoggedIn = 0;
    DWORD m_isTableLoaded = 0;
    DWORD m_isStoresLoaded = 0;
    std::vector<DWORD> m_isAdvised;    // per store, in store order
    std::vector<ULONG> m_connections;  // per store, in store order
    HRESULT m_initResult = E_FAIL;
};
