// Extended MAPI's base definitions: entry identifiers, property values and
// tags, rows, notifications, and the interfaces of properties, containers,
// folders, messages, message stores, tables and advise sinks. Names, layouts,
// constants and method order are MAPI's own; strings are the ANSI build's
// (what MAPI documents as LPTSTR is LPSTR here), except the message store's
// receive folder methods, which are declared with LPTSTR as MAPI declares
// them and read the text as MAPI_UNICODE in their flags says.
#pragma once

#include <objbase.h>
#include <interface_uuid.h>
#include <windows.h>

// Memory of MAPI results: one allocation that frees everything linked to it.
typedef SCODE(STDMETHODCALLTYPE ALLOCATEBUFFER)(ULONG cbSize, LPVOID* lppBuffer);
typedef SCODE(STDMETHODCALLTYPE ALLOCATEMORE)(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer);
typedef ULONG(STDAPICALLTYPE FREEBUFFER)(LPVOID lpBuffer);
typedef ALLOCATEBUFFER* LPALLOCATEBUFFER;
typedef ALLOCATEMORE* LPALLOCATEMORE;
typedef FREEBUFFER* LPFREEBUFFER;

typedef const IID* LPCIID;

// ---- Identifiers ---------------------------------------------------------

typedef struct {
    BYTE abFlags[4];
    BYTE ab[1];
} ENTRYID, *LPENTRYID;

#define CbNewENTRYID(cb) (offsetof(ENTRYID, ab) + (cb))

typedef struct _MAPIUID {
    BYTE ab[16];
} MAPIUID, *LPMAPIUID;

// Object types, as OpenEntry and PR_OBJECT_TYPE report them.
#define MAPI_STORE ((ULONG)0x00000001)
#define MAPI_ADDRBOOK ((ULONG)0x00000002)
#define MAPI_FOLDER ((ULONG)0x00000003)
#define MAPI_ABCONT ((ULONG)0x00000004)
#define MAPI_MESSAGE ((ULONG)0x00000005)
#define MAPI_MAILUSER ((ULONG)0x00000006)
#define MAPI_ATTACH ((ULONG)0x00000007)
#define MAPI_DISTLIST ((ULONG)0x00000008)
#define MAPI_PROFSECT ((ULONG)0x00000009)
#define MAPI_STATUS ((ULONG)0x0000000A)
#define MAPI_SESSION ((ULONG)0x0000000B)

// ---- Flags -----------------------------------------------------------------

#define MAPI_MODIFY ((ULONG)0x00000001)
#define MAPI_ACCESS_MODIFY ((ULONG)0x00000001)
#define MAPI_ACCESS_READ ((ULONG)0x00000002)
#define MAPI_DEFERRED_ERRORS ((ULONG)0x00000008)
#define MAPI_BEST_ACCESS ((ULONG)0x00000010)
#define MAPI_NO_CACHE ((ULONG)0x00000200)
#define MAPI_UNICODE ((ULONG)0x80000000)

// SaveChanges
#define KEEP_OPEN_READONLY ((ULONG)0x00000001)
#define KEEP_OPEN_READWRITE ((ULONG)0x00000002)
#define FORCE_SAVE ((ULONG)0x00000004)

// SetReadFlag
#define SUPPRESS_RECEIPT ((ULONG)0x00000001)
#define CLEAR_READ_FLAG ((ULONG)0x00000004)
#define GENERATE_RECEIPT_ONLY ((ULONG)0x00000010)
#define CLEAR_RN_PENDING ((ULONG)0x00000020)
#define CLEAR_NRN_PENDING ((ULONG)0x00000040)

// PR_MESSAGE_FLAGS
#define MSGFLAG_READ ((ULONG)0x00000001)
#define MSGFLAG_UNMODIFIED ((ULONG)0x00000002)
#define MSGFLAG_SUBMIT ((ULONG)0x00000004)
#define MSGFLAG_UNSENT ((ULONG)0x00000008)
#define MSGFLAG_HASATTACH ((ULONG)0x00000010)
#define MSGFLAG_FROMME ((ULONG)0x00000020)
#define MSGFLAG_ASSOCIATED ((ULONG)0x00000040)
#define MSGFLAG_RN_PENDING ((ULONG)0x00000100)
#define MSGFLAG_NRN_PENDING ((ULONG)0x00000200)

// OpenMsgStore
#define MDB_NO_DIALOG ((ULONG)0x00000001)
#define MDB_WRITE ((ULONG)0x00000004)
#define MDB_TEMPORARY ((ULONG)0x00000020)
#define MDB_NO_MAIL ((ULONG)0x00000080)

// ---- Property types and tags -----------------------------------------------

#define MV_FLAG 0x1000

#define PT_UNSPECIFIED ((ULONG)0)
#define PT_NULL ((ULONG)1)
#define PT_I2 ((ULONG)2)
#define PT_LONG ((ULONG)3)
#define PT_R4 ((ULONG)4)
#define PT_DOUBLE ((ULONG)5)
#define PT_CURRENCY ((ULONG)6)
#define PT_APPTIME ((ULONG)7)
#define PT_ERROR ((ULONG)10)
#define PT_BOOLEAN ((ULONG)11)
#define PT_OBJECT ((ULONG)13)
#define PT_I8 ((ULONG)20)
#define PT_STRING8 ((ULONG)30)
#define PT_UNICODE ((ULONG)31)
#define PT_SYSTIME ((ULONG)64)
#define PT_CLSID ((ULONG)72)
#define PT_BINARY ((ULONG)258)
#define PT_SHORT PT_I2
#define PT_I4 PT_LONG
#define PT_LONGLONG PT_I8
#define PT_TSTRING PT_STRING8
#define PT_MV_BINARY (MV_FLAG | PT_BINARY)

#define PROP_TYPE_MASK ((ULONG)0x0000FFFF)
#define PROP_TYPE(ulPropTag) (((ULONG)(ulPropTag)) & PROP_TYPE_MASK)
#define PROP_ID(ulPropTag) (((ULONG)(ulPropTag)) >> 16)
#define PROP_TAG(ulPropType, ulPropID) ((((ULONG)(ulPropID)) << 16) | ((ULONG)(ulPropType)))
#define CHANGE_PROP_TYPE(ulPropTag, ulPropType) (((ULONG)0xFFFF0000 & (ulPropTag)) | (ulPropType))
#define PROP_ID_NULL 0
#define PROP_ID_INVALID 0xFFFF
#define PR_NULL PROP_TAG(PT_NULL, PROP_ID_NULL)

typedef struct _SBinary {
    ULONG cb;
    LPBYTE lpb;
} SBinary, *LPSBinary;

typedef struct _SBinaryArray {
    ULONG cValues;
    SBinary* lpbin;
} SBinaryArray;

typedef struct _SLongArray {
    ULONG cValues;
    LONG* lpl;
} SLongArray;

typedef struct _SLPSTRArray {
    ULONG cValues;
    LPSTR* lppszA;
} SLPSTRArray;

typedef struct _SWStringArray {
    ULONG cValues;
    LPWSTR* lppszW;
} SWStringArray;

typedef union _PV {
    short int i;       // PT_I2
    LONG l;            // PT_LONG
    ULONG ul;          // PT_LONG
    float flt;         // PT_R4
    double dbl;        // PT_DOUBLE
    unsigned short b;  // PT_BOOLEAN
    CY cur;            // PT_CURRENCY
    double at;         // PT_APPTIME
    FILETIME ft;       // PT_SYSTIME
    LPSTR lpszA;       // PT_STRING8
    SBinary bin;       // PT_BINARY
    LPWSTR lpszW;      // PT_UNICODE
    LPGUID lpguid;     // PT_CLSID
    LARGE_INTEGER li;  // PT_I8
    SLongArray MVl;
    SLPSTRArray MVszA;
    SWStringArray MVszW;
    SBinaryArray MVbin;
    SCODE err;  // PT_ERROR
    LONG x;     // PT_NULL, PT_OBJECT
} __UPV;

typedef struct _SPropValue {
    ULONG ulPropTag;
    ULONG dwAlignPad;
    union _PV Value;
} SPropValue, *LPSPropValue;

typedef struct _SPropTagArray {
    ULONG cValues;
    ULONG aulPropTag[1];
} SPropTagArray, *LPSPropTagArray;

#define CbNewSPropTagArray(_ctag) (offsetof(SPropTagArray, aulPropTag) + (_ctag) * sizeof(ULONG))
#define SizedSPropTagArray(_ctag, _name) \
    struct _SPropTagArray_##_name {      \
        ULONG cValues;                   \
        ULONG aulPropTag[_ctag];         \
    } _name

typedef struct _SPropProblem {
    ULONG ulIndex;
    ULONG ulPropTag;
    SCODE scode;
} SPropProblem;

typedef struct _SPropProblemArray {
    ULONG cProblem;
    SPropProblem aProblem[1];
} SPropProblemArray, *LPSPropProblemArray;

typedef struct _MAPINAMEID MAPINAMEID, *LPMAPINAMEID;

typedef struct _MAPIERROR {
    ULONG ulVersion;
    LPSTR lpszError;
    LPSTR lpszComponent;
    ULONG ulLowLevelError;
    ULONG ulContext;
} MAPIERROR, *LPMAPIERROR;

// ---- Rows, restrictions, sort orders, entry lists --------------------------

typedef struct _SRow {
    ULONG ulAdrEntryPad;
    ULONG cValues;
    LPSPropValue lpProps;
} SRow, *LPSRow;

typedef struct _SRowSet {
    ULONG cRows;
    SRow aRow[1];
} SRowSet, *LPSRowSet;

#define CbNewSRowSet(_crow) (offsetof(SRowSet, aRow) + (_crow) * sizeof(SRow))

typedef struct _SRestriction SRestriction, *LPSRestriction;

typedef struct _SSortOrder {
    ULONG ulPropTag;
    ULONG ulOrder;
} SSortOrder;

typedef struct _SSortOrderSet {
    ULONG cSorts;
    ULONG cCategories;
    ULONG cExpanded;
    SSortOrder aSort[1];
} SSortOrderSet, *LPSSortOrderSet;

typedef SBinaryArray ENTRYLIST, *LPENTRYLIST;

typedef ULONG_PTR BOOKMARK;
#define BOOKMARK_BEGINNING ((BOOKMARK)0)
#define BOOKMARK_CURRENT ((BOOKMARK)1)
#define BOOKMARK_END ((BOOKMARK)2)

// ---- Notifications ---------------------------------------------------------

#define fnevCriticalError ((ULONG)0x00000001)
#define fnevNewMail ((ULONG)0x00000002)
#define fnevObjectCreated ((ULONG)0x00000004)
#define fnevObjectDeleted ((ULONG)0x00000008)
#define fnevObjectModified ((ULONG)0x00000010)
#define fnevObjectMoved ((ULONG)0x00000020)
#define fnevObjectCopied ((ULONG)0x00000040)
#define fnevSearchComplete ((ULONG)0x00000080)
#define fnevTableModified ((ULONG)0x00000100)
#define fnevStatusObjectModified ((ULONG)0x00000200)
#define fnevExtended ((ULONG)0x80000000)

typedef struct _ERROR_NOTIFICATION {
    ULONG cbEntryID;
    LPENTRYID lpEntryID;
    SCODE scode;
    ULONG ulFlags;
    LPMAPIERROR lpMAPIError;
} ERROR_NOTIFICATION;

typedef struct _NEWMAIL_NOTIFICATION {
    ULONG cbEntryID;
    LPENTRYID lpEntryID;  // the new message
    ULONG cbParentID;
    LPENTRYID lpParentID;  // the folder it arrived in
    ULONG ulFlags;         // MAPI_UNICODE when the class is wide
    LPSTR lpszMessageClass;
    ULONG ulMessageFlags;  // PR_MESSAGE_FLAGS
} NEWMAIL_NOTIFICATION;

typedef struct _OBJECT_NOTIFICATION {
    ULONG cbEntryID;
    LPENTRYID lpEntryID;
    ULONG ulObjType;
    ULONG cbParentID;
    LPENTRYID lpParentID;
    ULONG cbOldID;
    LPENTRYID lpOldID;
    ULONG cbOldParentID;
    LPENTRYID lpOldParentID;
    LPSPropTagArray lpPropTagArray;
} OBJECT_NOTIFICATION;

typedef struct _TABLE_NOTIFICATION {
    ULONG ulTableEvent;
    HRESULT hResult;
    SPropValue propIndex;
    SPropValue propPrior;
    SRow row;
    ULONG ulPad;
} TABLE_NOTIFICATION;

typedef struct _EXTENDED_NOTIFICATION {
    ULONG ulEvent;
    ULONG cb;
    LPBYTE pbEventParameters;
} EXTENDED_NOTIFICATION;

typedef struct _STATUS_OBJECT_NOTIFICATION {
    ULONG cbEntryID;
    LPENTRYID lpEntryID;
    ULONG cValues;
    LPSPropValue lpPropVals;
} STATUS_OBJECT_NOTIFICATION;

typedef struct _NOTIFICATION {
    ULONG ulEventType;
    ULONG ulAlignPad;
    union {
        ERROR_NOTIFICATION err;
        NEWMAIL_NOTIFICATION newmail;
        OBJECT_NOTIFICATION obj;
        TABLE_NOTIFICATION tab;
        EXTENDED_NOTIFICATION ext;
        STATUS_OBJECT_NOTIFICATION statobj;
    } info;
} NOTIFICATION, *LPNOTIFICATION;

struct IMAPIAdviseSink : public IUnknown {
    // The return value is reserved: sinks answer 0.
    virtual ULONG STDMETHODCALLTYPE OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications) = 0;
};
BV_DECLARE_UUID(IMAPIAdviseSink, "00020302-0000-0000-C000-000000000046")
typedef IMAPIAdviseSink* LPMAPIADVISESINK;

// ---- Properties and the objects that carry them ----------------------------

struct IMAPIProgress;
typedef IMAPIProgress* LPMAPIPROGRESS;
struct IMAPITable;
typedef IMAPITable* LPMAPITABLE;
struct IMessage;
typedef IMessage* LPMESSAGE;
struct IAttach;
typedef IAttach* LPATTACH;
struct IMAPIFolder;
typedef IMAPIFolder* LPMAPIFOLDER;
typedef struct _ADRLIST ADRLIST, *LPADRLIST;

struct IMAPIProp : public IUnknown {
    STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) = 0;
    STDMETHOD(SaveChanges)(ULONG ulFlags) = 0;
    STDMETHOD(GetProps)
    (LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues,
     LPSPropValue* lppPropArray) = 0;
    STDMETHOD(GetPropList)(ULONG ulFlags, LPSPropTagArray* lppPropTagArray) = 0;
    STDMETHOD(OpenProperty)
    (ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags, LPUNKNOWN* lppUnk) = 0;
    STDMETHOD(SetProps)
    (ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems) = 0;
    STDMETHOD(DeleteProps)(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems) = 0;
    STDMETHOD(CopyTo)
    (ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps, ULONG_PTR ulUIParam,
     LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags,
     LPSPropProblemArray* lppProblems) = 0;
    STDMETHOD(CopyProps)
    (LPSPropTagArray lpIncludeProps, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
     LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags, LPSPropProblemArray* lppProblems) = 0;
    STDMETHOD(GetNamesFromIDs)
    (LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags, ULONG* lpcPropNames,
     LPMAPINAMEID** lpppPropNames) = 0;
    STDMETHOD(GetIDsFromNames)
    (ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags, LPSPropTagArray* lppPropTags) = 0;
};
BV_DECLARE_UUID(IMAPIProp, "00020303-0000-0000-C000-000000000046")
typedef IMAPIProp* LPMAPIPROP;

struct IMAPIContainer : public IMAPIProp {
    STDMETHOD(GetContentsTable)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
    STDMETHOD(GetHierarchyTable)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
    STDMETHOD(OpenEntry)
    (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType,
     LPUNKNOWN* lppUnk) = 0;
    STDMETHOD(SetSearchCriteria)
    (LPSRestriction lpRestriction, LPENTRYLIST lpContainerList, ULONG ulSearchFlags) = 0;
    STDMETHOD(GetSearchCriteria)
    (ULONG ulFlags, LPSRestriction* lppRestriction, LPENTRYLIST* lppContainerList,
     ULONG* lpulSearchState) = 0;
};
BV_DECLARE_UUID(IMAPIContainer, "0002030B-0000-0000-C000-000000000046")
typedef IMAPIContainer* LPMAPICONTAINER;

struct IMAPIFolder : public IMAPIContainer {
    STDMETHOD(CreateMessage)(LPCIID lpInterface, ULONG ulFlags, LPMESSAGE* lppMessage) = 0;
    STDMETHOD(CopyMessages)
    (LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder, ULONG_PTR ulUIParam,
     LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
    STDMETHOD(DeleteMessages)
    (LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
    STDMETHOD(CreateFolder)
    (ULONG ulFolderType, LPSTR lpszFolderName, LPSTR lpszFolderComment, LPCIID lpInterface,
     ULONG ulFlags, LPMAPIFOLDER* lppFolder) = 0;
    STDMETHOD(CopyFolder)
    (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, LPVOID lpDestFolder,
     LPSTR lpszNewFolderName, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
    STDMETHOD(DeleteFolder)
    (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
     ULONG ulFlags) = 0;
    STDMETHOD(SetReadFlags)
    (LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
    STDMETHOD(GetMessageStatus)
    (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags, ULONG* lpulMessageStatus) = 0;
    STDMETHOD(SetMessageStatus)
    (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulNewStatus, ULONG ulNewStatusMask,
     ULONG* lpulOldStatus) = 0;
    STDMETHOD(SaveContentsSort)(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) = 0;
    STDMETHOD(EmptyFolder)(ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
};
BV_DECLARE_UUID(IMAPIFolder, "0002030C-0000-0000-C000-000000000046")

struct IMessage : public IMAPIProp {
    STDMETHOD(GetAttachmentTable)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
    STDMETHOD(OpenAttach)
    (ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags, LPATTACH* lppAttach) = 0;
    STDMETHOD(CreateAttach)
    (LPCIID lpInterface, ULONG ulFlags, ULONG* lpulAttachmentNum, LPATTACH* lppAttach) = 0;
    STDMETHOD(DeleteAttach)
    (ULONG ulAttachmentNum, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
    STDMETHOD(GetRecipientTable)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
    STDMETHOD(ModifyRecipients)(ULONG ulFlags, LPADRLIST lpMods) = 0;
    STDMETHOD(SubmitMessage)(ULONG ulFlags) = 0;
    STDMETHOD(SetReadFlag)(ULONG ulFlags) = 0;
};
BV_DECLARE_UUID(IMessage, "00020307-0000-0000-C000-000000000046")

struct IMsgStore : public IMAPIProp {
    STDMETHOD(Advise)
    (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
     ULONG* lpulConnection) = 0;
    STDMETHOD(Unadvise)(ULONG ulConnection) = 0;
    STDMETHOD(CompareEntryIDs)
    (ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG ulFlags,
     ULONG* lpulResult) = 0;
    STDMETHOD(OpenEntry)
    (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType,
     LPUNKNOWN* lppUnk) = 0;
    STDMETHOD(SetReceiveFolder)
    (LPTSTR lpszMessageClass, ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
    STDMETHOD(GetReceiveFolder)
    (LPTSTR lpszMessageClass, ULONG ulFlags, ULONG* lpcbEntryID, LPENTRYID* lppEntryID,
     LPTSTR* lppszExplicitClass) = 0;
    STDMETHOD(GetReceiveFolderTable)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
    STDMETHOD(StoreLogoff)(ULONG* lpulFlags) = 0;
    STDMETHOD(AbortSubmit)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags) = 0;
    STDMETHOD(GetOutgoingQueue)(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
    STDMETHOD(SetLockState)(LPMESSAGE lpMessage, ULONG ulLockState) = 0;
    STDMETHOD(FinishedMsg)(ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
    STDMETHOD(NotifyNewMail)(LPNOTIFICATION lpNotification) = 0;
};
BV_DECLARE_UUID(IMsgStore, "00020306-0000-0000-C000-000000000046")
typedef IMsgStore* LPMDB;

struct IMAPITable : public IUnknown {
    STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) = 0;
    STDMETHOD(Advise)(ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink, ULONG* lpulConnection) = 0;
    STDMETHOD(Unadvise)(ULONG ulConnection) = 0;
    STDMETHOD(GetStatus)(ULONG* lpulTableStatus, ULONG* lpulTableType) = 0;
    STDMETHOD(SetColumns)(LPSPropTagArray lpPropTagArray, ULONG ulFlags) = 0;
    STDMETHOD(QueryColumns)(ULONG ulFlags, LPSPropTagArray* lpPropTagArray) = 0;
    STDMETHOD(GetRowCount)(ULONG ulFlags, ULONG* lpulCount) = 0;
    STDMETHOD(SeekRow)(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) = 0;
    STDMETHOD(SeekRowApprox)(ULONG ulNumerator, ULONG ulDenominator) = 0;
    STDMETHOD(QueryPosition)(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator) = 0;
    STDMETHOD(FindRow)(LPSRestriction lpRestriction, BOOKMARK bkOrigin, ULONG ulFlags) = 0;
    STDMETHOD(Restrict)(LPSRestriction lpRestriction, ULONG ulFlags) = 0;
    STDMETHOD(CreateBookmark)(BOOKMARK* lpbkPosition) = 0;
    STDMETHOD(FreeBookmark)(BOOKMARK bkPosition) = 0;
    STDMETHOD(SortTable)(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) = 0;
    STDMETHOD(QuerySortOrder)(LPSSortOrderSet* lppSortCriteria) = 0;
    STDMETHOD(QueryRows)(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) = 0;
    STDMETHOD(Abort)() = 0;
    STDMETHOD(ExpandRow)
    (ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulRowCount, ULONG ulFlags, LPSRowSet* lppRows,
     ULONG* lpulMoreRows) = 0;
    STDMETHOD(CollapseRow)
    (ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulFlags, ULONG* lpulRowCount) = 0;
    STDMETHOD(WaitForCompletion)(ULONG ulFlags, ULONG ulTimeout, ULONG* lpulTableStatus) = 0;
    STDMETHOD(GetCollapseState)
    (ULONG ulFlags, ULONG cbInstanceKey, LPBYTE lpbInstanceKey, ULONG* lpcbCollapseState,
     LPBYTE* lppbCollapseState) = 0;
    STDMETHOD(SetCollapseState)
    (ULONG ulFlags, ULONG cbCollapseState, LPBYTE pbCollapseState, BOOKMARK* lpbkLocation) = 0;
};
BV_DECLARE_UUID(IMAPITable, "00020301-0000-0000-C000-000000000046")

// Table status and types.
#define TBLSTAT_COMPLETE ((ULONG)0)
#define TBLTYPE_SNAPSHOT ((ULONG)0)
#define TBLTYPE_DYNAMIC ((ULONG)2)
