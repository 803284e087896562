// The COM task allocator: memory handed across interfaces and freed by the
// receiver.
#include <objbase.h>

#include <cstdlib>

// A zero-byte request still yields a distinct, freeable block, as on Windows.
extern "C" LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
    return std::malloc(cb == 0 ? 1 : cb);
}

// Growing nothing allocates; shrinking a block to nothing frees it and
// answers null.
extern "C" LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
    if (cb == 0 && pv) {
        std::free(pv);
        return nullptr;
    }
    return std::realloc(pv, cb == 0 ? 1 : cb);
}

extern "C" void WINAPI CoTaskMemFree(LPVOID pv) {
    std::free(pv);
}
