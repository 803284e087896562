// How the add-in creates the objects of the libraries it is given: by ProgID,
// or by a class identifier in braces, in any kind of server.
#pragma once

#include <objbase.h>

// One reference in *object on success; E_POINTER when the server gave none.
HRESULT CreateByProgId(const wchar_t* progId, REFIID iid, void** object);
