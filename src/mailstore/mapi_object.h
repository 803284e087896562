// The Extended MAPI object behind one of Outlook's objects: its MAPIOBJECT
// property (the session of a namespace, the message of an item), asked for
// one MAPI interface. Null when the object has none or refuses the interface.
#pragma once

#include <atlbase.h>

CComPtr<IUnknown> GetMapiObject(IDispatch* object, REFIID iid);

template <class Interface>
CComPtr<Interface> GetMapiObjectAs(IDispatch* object, REFIID iid) {
    CComPtr<Interface> typed;
    typed.Attach(static_cast<Interface*>(GetMapiObject(object, iid).Detach()));
    return typed;
}
