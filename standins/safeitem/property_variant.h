// Message properties as the library's automation clients receive them.
#pragma once

#include <oaidl.h>

#include <mailstore/model.h>

#include <string>

namespace safeitem {

BSTR Text(const std::wstring& text);

// A property value as a VARIANT: VT_BSTR, VT_I4, VT_BOOL, VT_DATE (UTC) or
// VT_ARRAY | VT_UI1.
HRESULT ToVariant(const mailstore::PropValue& value, VARIANT* out);

// The message's property by MAPI tag (a PT_STRING8 tag read wide);
// VT_EMPTY with S_OK when the message lacks it.
HRESULT FieldOf(const mailstore::Message& message, LONG propTag, VARIANT* value);

}  // namespace safeitem
