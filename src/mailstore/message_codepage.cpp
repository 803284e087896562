#include "mailstore/message_codepage.h"

#include <atlbase.h>
#include <mapiguid.h>
#include <mapitags.h>

#include "mailstore/mapi_functions.h"
#include "support/log/trace_scope.h"

namespace {

// The item's MAPIOBJECT property as IMAPIProp; null when the item has none.
CComPtr<IMAPIProp> MapiPropertiesOf(IDispatch* item) {
    CComPtr<IMAPIProp> properties;
    if (!item)
        return properties;
    CComVariant object;
    if (FAILED(CComDispatchDriver(item).GetPropertyByName(L"MAPIOBJECT", &object)))
        return properties;
    if ((object.vt == VT_UNKNOWN || object.vt == VT_DISPATCH) && object.punkVal)
        object.punkVal->QueryInterface(IID_IMAPIProp, reinterpret_cast<void**>(&properties));
    return properties;
}

}  // namespace

bool GetMessageCodePage(IDispatch* item, LONG& codePage) {
    CTraceScope trace("GetMessageCodePage");
    CComPtr<IMAPIProp> properties = MapiPropertiesOf(item);
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
    CComPtr<IMAPIProp> properties = MapiPropertiesOf(item);
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
