#include "memory/global_memory.h"

#include <errhandlingapi.h>
#include <winbase.h>
#include <winerror.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform::memory {
namespace {

struct Block {
    std::vector<std::byte> data;
    bool moveable = false;
    unsigned locks = 0;  // moveable blocks only: fixed ones are never locked
};

constexpr UINT kKnownFlags =
    GMEM_MOVEABLE | GMEM_NOCOMPACT | GMEM_NODISCARD | GMEM_ZEROINIT | GMEM_DISCARDABLE | GMEM_SHARE;

std::mutex tableLock;
std::unordered_map<HGLOBAL, std::unique_ptr<Block>>& Blocks() {
    // Lives as long as the process: blocks may be freed from static destructors.
    static auto* blocks = new std::unordered_map<HGLOBAL, std::unique_ptr<Block>>;
    return *blocks;
}

Block* Find(HGLOBAL handle) {
    auto& blocks = Blocks();
    auto found = blocks.find(handle);
    return found == blocks.end() ? nullptr : found->second.get();
}

// The block a caller names, or null with ERROR_INVALID_HANDLE.
Block* FindNamed(HGLOBAL handle) {
    Block* block = Find(handle);
    if (!block)
        SetLastError(ERROR_INVALID_HANDLE);
    return block;
}

// A fixed block is named by its data; it has at least one byte, so that even
// an empty one has an address of its own.
HGLOBAL FixedHandle(Block& block) {
    if (block.data.empty())
        block.data.reserve(1);
    return block.data.data();
}

void* Address(Block& block) {
    // An empty moveable block is discarded: it has no address to lock.
    if (block.moveable && block.data.empty())
        return nullptr;
    return block.data.data();
}

}  // namespace

std::optional<size_t> BlockSize(HGLOBAL handle) {
    std::lock_guard lock(tableLock);
    if (Block* block = Find(handle))
        return block->data.size();
    return std::nullopt;
}

}  // namespace platform::memory

using namespace platform::memory;

extern "C" HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    if (uFlags & ~kKnownFlags) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto block = std::make_unique<Block>();
    block->moveable = (uFlags & GMEM_MOVEABLE) != 0;
    try {
        // Windows zeroes new memory only on request; zeroing it always hides nothing.
        block->data.resize(dwBytes);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const HGLOBAL handle =
        block->moveable ? static_cast<HGLOBAL>(block.get()) : FixedHandle(*block);
    std::lock_guard lock(tableLock);
    Blocks().emplace(handle, std::move(block));
    return handle;
}

extern "C" HGLOBAL WINAPI GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) {
    std::lock_guard lock(tableLock);
    Block* block = FindNamed(hMem);
    if (!block)
        return nullptr;
    const size_t oldSize = block->data.size();
    // A fixed block keeps its address: it grows only within what it holds,
    // unless the caller lets it move.
    const bool mayMove = block->moveable || (uFlags & GMEM_MOVEABLE);
    if (!mayMove && dwBytes > block->data.capacity()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    try {
        if (dwBytes > block->data.capacity())
            block->data.reserve(std::max<size_t>(dwBytes, oldSize * 2));
        block->data.resize(dwBytes);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (block->moveable)
        return hMem;
    const HGLOBAL moved = FixedHandle(*block);
    if (moved != hMem) {
        auto node = Blocks().extract(hMem);
        node.key() = moved;
        Blocks().insert(std::move(node));
    }
    return moved;
}

extern "C" HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    std::lock_guard lock(tableLock);
    // A locked block is freed too, as on Windows.
    if (Blocks().erase(hMem) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    return nullptr;
}

extern "C" LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
    std::lock_guard lock(tableLock);
    Block* block = FindNamed(hMem);
    if (!block)
        return nullptr;
    void* address = Address(*block);
    if (!address) {
        SetLastError(ERROR_DISCARDED);
        return nullptr;
    }
    if (block->moveable)
        ++block->locks;
    return address;
}

extern "C" BOOL WINAPI GlobalUnlock(HGLOBAL hMem) {
    std::lock_guard lock(tableLock);
    Block* block = FindNamed(hMem);
    if (!block)
        return FALSE;
    // A fixed block keeps no lock count, and unlocking it succeeds.
    if (!block->moveable)
        return TRUE;
    if (block->locks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--block->locks > 0)
        return TRUE;
    SetLastError(NO_ERROR);
    return FALSE;
}

extern "C" SIZE_T WINAPI GlobalSize(HGLOBAL hMem) {
    if (auto size = BlockSize(hMem))
        return *size;
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}
