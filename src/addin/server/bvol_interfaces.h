// The add-in's own COM identities, as its type library (resources/BVOL.idl)
// describes them.
#pragma once

#include <oaidl.h>
#include <interface_uuid.h>

// The dual interface of the add-in class; it has no members of its own.
struct IConnect : public IDispatch {};
BV_DECLARE_UUID(IConnect, "22CC3930-371B-4E98-B3DC-194BCD3DCC7A")

// The type library BVOLLib and the class Connect.
struct BVOLLib;
BV_DECLARE_UUID(BVOLLib, "0CB1E29C-658C-4A14-95E6-0AF593BD04CF")
struct Connect;
BV_DECLARE_UUID(Connect, "0FD630F1-F29D-4DA9-953F-48F1A09F76B5")

inline constexpr IID IID_IConnect = __uuidof(IConnect);
inline constexpr GUID LIBID_BVOLLib = __uuidof(BVOLLib);
inline constexpr CLSID CLSID_Connect = __uuidof(Connect);
