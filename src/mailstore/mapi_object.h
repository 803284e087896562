// The Extended MAPI object behind one of Outlook's objects: its MAPIOBJECT
// property (the session of a namespace, the message of an item), asked for
// one MAPI interface. Null when the object has none or refuses the interface;
// a failed read of the property is logged.
#pragma once

#include <atlbase.h>

CComPtr<IUnknown> GetMapiObject(IDispatch* object, REFIID iid);

template <class Interface>
CComPtr<Interface> GetMapiObjectAs(IDispatch* object, REFIID iid) {
    CComPtr<Interface> typed;
    typed.Attach(static_cast<Interface*>(GetMapiObject(object, iid).Detach()));
    return typed;
}
