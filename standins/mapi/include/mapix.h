// Extended MAPI's session and the functions that start and end its use.
#pragma once

#include "mapicode.h"
#include "mapidefs.h"

struct IAddrBook;
struct IProfSect;
struct IMsgServiceAdmin;

struct IMAPISession : public IUnknown {
    STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) = 0;
    STDMETHOD(GetMsgStoresTable)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
    STDMETHOD(OpenMsgStore)
    (ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
     LPMDB* lppMDB) = 0;
    STDMETHOD(OpenAddressBook)
    (ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags, IAddrBook** lppAdrBook) = 0;
    STDMETHOD(OpenProfileSection)
    (LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags, IProfSect** lppProfSect) = 0;
    STDMETHOD(GetStatusTable)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
    STDMETHOD(OpenEntry)
    (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType,
     LPUNKNOWN* lppUnk) = 0;
    STDMETHOD(CompareEntryIDs)
    (ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG ulFlags,
     ULONG* lpulResult) = 0;
    STDMETHOD(Advise)
    (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
     ULONG* lpulConnection) = 0;
    STDMETHOD(Unadvise)(ULONG ulConnection) = 0;
    STDMETHOD(MessageOptions)
    (ULONG_PTR ulUIParam, ULONG ulFlags, LPSTR lpszAdrType, LPMESSAGE lpMessage) = 0;
    STDMETHOD(QueryDefaultMessageOpt)
    (LPSTR lpszAdrType, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppOptions) = 0;
    STDMETHOD(EnumAdrTypes)(ULONG ulFlags, ULONG* lpcAdrTypes, LPSTR** lpppszAdrTypes) = 0;
    STDMETHOD(QueryIdentity)(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;
    STDMETHOD(Logoff)(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) = 0;
    STDMETHOD(SetDefaultStore)(ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
    STDMETHOD(AdminServices)(ULONG ulFlags, IMsgServiceAdmin** lppServiceAdmin) = 0;
    STDMETHOD(ShowForm)
    (ULONG_PTR ulUIParam, LPMDB lpMsgStore, LPMAPIFOLDER lpParentFolder, LPCIID lpInterface,
     ULONG ulMessageToken, LPMESSAGE lpMessageSent, ULONG ulFlags, ULONG ulMessageStatus,
     ULONG ulMessageFlags, ULONG ulAccess, LPSTR lpszMessageClass) = 0;
    STDMETHOD(PrepareForm)(LPCIID lpInterface, LPMESSAGE lpMessage, ULONG* lpulMessageToken) = 0;
};
BV_DECLARE_UUID(IMAPISession, "00020300-0000-0000-C000-000000000046")
typedef IMAPISession* LPMAPISESSION;

// MAPILogonEx
#define MAPI_LOGON_UI ((ULONG)0x00000001)
#define MAPI_NEW_SESSION ((ULONG)0x00000002)
#define MAPI_ALLOW_OTHERS ((ULONG)0x00000008)
#define MAPI_EXPLICIT_PROFILE ((ULONG)0x00000010)
#define MAPI_EXTENDED ((ULONG)0x00000020)
#define MAPI_FORCE_DOWNLOAD ((ULONG)0x00001000)
#define MAPI_SERVICE_UI_ALWAYS ((ULONG)0x00002000)
#define MAPI_NO_MAIL ((ULONG)0x00008000)
#define MAPI_NT_SERVICE ((ULONG)0x00010000)
#define MAPI_PASSWORD_UI ((ULONG)0x00020000)
#define MAPI_TIMEOUT_SHORT ((ULONG)0x00100000)
#define MAPI_USE_DEFAULT ((ULONG)0x00000040)

// MAPIInitialize
typedef struct {
    ULONG ulVersion;
    ULONG ulFlags;
} MAPIINIT_0, *LPMAPIINIT_0;
typedef MAPIINIT_0 MAPIINIT;
typedef MAPIINIT* LPMAPIINIT;
#define MAPI_INIT_VERSION 0
#define MAPI_MULTITHREAD_NOTIFICATIONS ((ULONG)0x00000001)
#define MAPI_NO_COINIT ((ULONG)0x00000008)

typedef HRESULT(STDMETHODCALLTYPE MAPIINITIALIZE)(LPVOID lpMapiInit);
typedef MAPIINITIALIZE* LPMAPIINITIALIZE;
typedef void(STDMETHODCALLTYPE MAPIUNINITIALIZE)(void);
typedef MAPIUNINITIALIZE* LPMAPIUNINITIALIZE;
typedef HRESULT(STDMETHODCALLTYPE MAPILOGONEX)(ULONG_PTR ulUIParam, LPSTR lpszProfileName,
                                               LPSTR lpszPassword, ULONG ulFlags,
                                               LPMAPISESSION* lppSession);
typedef MAPILOGONEX* LPMAPILOGONEX;
typedef ALLOCATEBUFFER MAPIALLOCATEBUFFER;
typedef ALLOCATEMORE MAPIALLOCATEMORE;
typedef FREEBUFFER MAPIFREEBUFFER;
typedef MAPIALLOCATEBUFFER* LPMAPIALLOCATEBUFFER;
typedef MAPIALLOCATEMORE* LPMAPIALLOCATEMORE;
typedef MAPIFREEBUFFER* LPMAPIFREEBUFFER;

// Declared for callers that link the library; this system loads it at run
// time and calls through the pointer types above.
STDAPI MAPIInitialize(LPVOID lpMapiInit);
STDAPI_(void) MAPIUninitialize(void);
STDAPI MAPILogonEx(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword, ULONG ulFlags,
                   LPMAPISESSION* lppSession);
STDAPI_(SCODE) MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer);
STDAPI_(SCODE) MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer);
STDAPI_(ULONG) MAPIFreeBuffer(LPVOID lpBuffer);
