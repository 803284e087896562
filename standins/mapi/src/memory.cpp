// MAPI memory. Each block starts with a header in front of what the caller
// sees: a buffer's header links the blocks chained to it, so that freeing the
// buffer frees them all, as MAPIFreeBuffer does.
#include <mapicode.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>

#include "mapiview/mapi_view.h"

namespace mapiview {
namespace {

constexpr std::uint32_t kBufferMark = 0x4D415042;  // a buffer: may be freed
constexpr std::uint32_t kMoreMark = 0x4D41504D;    // chained to a buffer

// A multiple of 16 bytes, so that what follows keeps the alignment malloc gives.
struct alignas(16) Header {
    std::uint32_t mark;
    Header* nextMore;  // the buffer's chain, newest first
};
static_assert(sizeof(Header) % 16 == 0);

std::mutex& ChainLock() {
    static std::mutex lock;
    return lock;
}

Header* HeaderOf(void* block) {
    return reinterpret_cast<Header*>(static_cast<char*>(block) - sizeof(Header));
}

Header* NewBlock(ULONG size, std::uint32_t mark) {
    void* memory = std::calloc(1, sizeof(Header) + size);
    if (!memory)
        return nullptr;
    auto* header = static_cast<Header*>(memory);
    header->mark = mark;
    header->nextMore = nullptr;
    return header;
}

}  // namespace

SCODE AllocateBuffer(ULONG size, LPVOID* buffer) {
    if (!buffer)
        return MAPI_E_INVALID_PARAMETER;
    *buffer = nullptr;
    Header* header = NewBlock(size, kBufferMark);
    if (!header)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    *buffer = header + 1;
    return S_OK;
}

SCODE AllocateMore(ULONG size, LPVOID parent, LPVOID* buffer) {
    if (!buffer || !parent)
        return MAPI_E_INVALID_PARAMETER;
    *buffer = nullptr;
    Header* owner = HeaderOf(parent);
    if (owner->mark != kBufferMark)
        return MAPI_E_INVALID_PARAMETER;
    Header* header = NewBlock(size, kMoreMark);
    if (!header)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    {
        std::lock_guard guard(ChainLock());
        header->nextMore = owner->nextMore;
        owner->nextMore = header;
    }
    *buffer = header + 1;
    return S_OK;
}

ULONG FreeBuffer(LPVOID buffer) {
    if (!buffer)
        return S_OK;
    Header* header = HeaderOf(buffer);
    // Memory chained to a buffer goes only with it.
    if (header->mark != kBufferMark)
        return static_cast<ULONG>(MAPI_E_INVALID_PARAMETER);
    header->mark = 0;
    for (Header* more = header->nextMore; more;) {
        Header* next = more->nextMore;
        std::free(more);
        more = next;
    }
    std::free(header);
    return S_OK;
}

}  // namespace mapiview
