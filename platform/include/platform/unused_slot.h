// The platform's code names this header by its old place; the header itself is
// shared with the Windows build (platform/portable/include).
#pragma once

#include <unused_slot.h>
