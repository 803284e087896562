// Identifiers of the safe-item library's resources.
#pragma once

#define IDR_BVMAILITEM 101    // the registry script of BVOLTOOL.BVMailItem
#define IDR_BVMAPIUTILS 102   // the registry script of BVOLTOOL.BVMAPIUtils
#define IDR_BVRDOSESSION 103  // the registry script of BVOLTOOL.BVRDOSession
