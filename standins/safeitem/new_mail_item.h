// The item the new-mail event hands out.
#pragma once

#include <oaidl.h>

#include <string>

namespace safeitem {

// A new-mail item for the message with this entry identifier text; one
// reference in *item.
HRESULT CreateNewMailItem(const std::wstring& entryId, IDispatch** item);

}  // namespace safeitem
