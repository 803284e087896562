// Which VARTYPEs a VARIANT may carry.
#pragma once

#include <oleauto.h>

namespace platform::com {

// True for the base types a VARIANT may hold by value (VT_EMPTY to VT_UINT,
// VT_RECORD), not counting the VT_ARRAY and VT_BYREF flags.
bool IsVariantBaseType(VARTYPE base);

// True for a complete VARIANT type: a base type, optionally with VT_ARRAY
// and/or VT_BYREF. VT_VARIANT is only valid by reference or as an array.
bool IsValidVariantType(VARTYPE vt);

// Bytes a value of base type `base` occupies (a pointer for strings and
// interfaces); 0 for types that have no plain value here.
ULONG ValueSize(VARTYPE base);

// A copy of the same bytes (embedded nulls included); null for null.
BSTR DuplicateBstr(BSTR source);

}  // namespace platform::com
