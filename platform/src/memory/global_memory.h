// Global memory blocks: fixed blocks, whose handle is their address, and
// moveable blocks, whose handle stays while the data may move on a resize and
// is reached through GlobalLock. The block table is the process's.
#pragma once

#include <windef.h>

#include <cstddef>
#include <optional>

namespace platform::memory {

// The size of a block, or nothing for a handle that names none.
std::optional<size_t> BlockSize(HGLOBAL handle);

}  // namespace platform::memory
