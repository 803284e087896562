// The safe-item library BVOLTOOL.dll: the identities of its COM classes.
#pragma once

#include <platform/interface_uuid.h>
#include <windef.h>

namespace bvoltool {

// The safe mail item, "BVOLTOOL.BVMailItem": an Outlook item read without
// the object model's security prompts.
struct BVMailItem;
BV_DECLARE_UUID(BVMailItem, "A81008FE-279F-4D80-8013-738EFAE53134")

}  // namespace bvoltool

inline constexpr CLSID CLSID_BVMailItem = __uuidof(bvoltool::BVMailItem);
