#include "mailstore/message_codepage.h"

#include <atlbase.h>
#include <mapiguid.h>
#include <mapitags.h>

#include "mailstore/mapi_functions.h"
#include "mailstore/mapi_object.h"
#include "support/log/trace_scope.h"

// The Internet code page of a message: Outlook's own MAPI headers name it,
// the Windows SDK's older ones (and mingw-w64's) do not.
#ifndef PR_INTERNET_CPID
#define PR_INTERNET_CPID PROP_TAG(PT_LONG, 0x3FDE)
#endif

bool GetMessageCodePage(IDispatch* item, LONG& codePage) {
    CTraceScope trace("GetMessageCodePage");
    CComPtr<IMAPIProp> properties = GetMapiObjectAs<IMAPIProp>(item, IID_IMAPIProp);
    if (!properties || !pfnHrGetOneProp)
        return false;
    LPSPropValue value = nullptr;
    const bool read =
        SUCCEEDED(pfnHrGetOneProp(properties, PR_INTERNET_CPID, &value)) && value != nullptr;
    if (read)
        codePage = value->Value.l;
    FreeMapiBuffer(value);
    return read;
}

bool SetMessageCodepage(IDispatch* item, LONG codePage) {
    CTraceScope trace("SetMessageCodepage");
    CComPtr<IMAPIProp> properties = GetMapiObjectAs<IMAPIProp>(item, IID_IMAPIProp);
    if (!properties || !pfnHrSetOneProp || !pfnMAPIAllocateBuffer)
        return false;
    void* buffer = nullptr;
    if (FAILED(pfnMAPIAllocateBuffer(sizeof(SPropValue), &buffer)) || !buffer)
        return false;
    auto* value = static_cast<LPSPropValue>(buffer);
    value->ulPropTag = PR_INTERNET_CPID;
    value->Value.l = codePage;
    const bool written = SUCCEEDED(pfnHrSetOneProp(properties, value));
    FreeMapiBuffer(buffer);
    properties->SaveChanges(KEEP_OPEN_READWRITE | FORCE_SAVE);
    return written;
}
