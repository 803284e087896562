// The filter core library Core.dll: the identities of its COM classes.
#pragma once

#include <platform/interface_uuid.h>
#include <windef.h>

namespace brevint_core {

// The core's HTTP object, "Brevint.HTTP": fetches pages of the login server.
struct HTTP;
BV_DECLARE_UUID(HTTP, "755A8D09-FDB0-43E8-B2E0-B28519461B89")

}  // namespace brevint_core

inline constexpr CLSID CLSID_BrevintHTTP = __uuidof(brevint_core::HTTP);
