#include "mailstore/mapi_object.h"

#include "support/log/logged_stage.h"

CComPtr<IUnknown> GetMapiObject(IDispatch* object, REFIID iid) {
    CComPtr<IUnknown> answer;
    CComVariant property;
    if (object &&
        !LogIfFailed("GetMapiObject",
                     CComDispatchDriver(object).GetPropertyByName(L"MAPIOBJECT", &property)) &&
        (property.vt == VT_UNKNOWN || property.vt == VT_DISPATCH) && property.punkVal)
        property.punkVal->QueryInterface(iid, reinterpret_cast<void**>(&answer));
    return answer;
}
