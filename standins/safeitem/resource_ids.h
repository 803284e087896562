// Identifiers of the safe-item library's resources.
#pragma once

#define IDR_BVMAILITEM 101  // the registry script of BVOLTOOL.BVMailItem
