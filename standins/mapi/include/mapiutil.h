// MAPI's utility functions: one property read or written, a whole table's
// rows, and the advise-sink wrapper that delivers notifications on the thread
// that advised.
#pragma once

#include "mapicode.h"
#include "mapidefs.h"

typedef HRESULT(STDAPICALLTYPE HRGETONEPROP)(LPMAPIPROP lpMapiProp, ULONG ulPropTag,
                                             LPSPropValue* lppProp);
typedef HRGETONEPROP* LPHRGETONEPROP;
typedef HRESULT(STDAPICALLTYPE HRSETONEPROP)(LPMAPIPROP lpMapiProp, LPSPropValue lpProp);
typedef HRSETONEPROP* LPHRSETONEPROP;
typedef HRESULT(STDAPICALLTYPE HRQUERYALLROWS)(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags,
                                               LPSRestriction lpRestriction,
                                               LPSSortOrderSet lpSortOrderSet, LONG crowsMax,
                                               LPSRowSet* lppRows);
typedef HRQUERYALLROWS* LPHRQUERYALLROWS;
typedef HRESULT(STDAPICALLTYPE HRTHISTHREADADVISESINK)(LPMAPIADVISESINK lpAdviseSink,
                                                       LPMAPIADVISESINK* lppAdviseSink);
typedef HRTHISTHREADADVISESINK* LPHRTHISTHREADADVISESINK;

// The library exports these under their decorated names ("HrGetOneProp@12",
// "HrSetOneProp@8", "HrQueryAllRows@24", "HrThisThreadAdviseSink@8"); callers
// that load it at run time look them up so.
STDAPI HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue* lppProp);
STDAPI HrSetOneProp(LPMAPIPROP lpMapiProp, LPSPropValue lpProp);
STDAPI HrQueryAllRows(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags, LPSRestriction lpRestriction,
                      LPSSortOrderSet lpSortOrderSet, LONG crowsMax, LPSRowSet* lppRows);
STDAPI HrThisThreadAdviseSink(LPMAPIADVISESINK lpAdviseSink, LPMAPIADVISESINK* lppAdviseSink);
