// UuidCreate: random UUIDs (version 4, RFC 4122 variant) from the kernel's
// random source, as Windows has made them since Windows 2000.
#include <rpcdce.h>

#include <sys/random.h>

#include <cerrno>
#include <cstring>

namespace {

bool FillRandom(void* buffer, size_t size) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        ssize_t got = getrandom(bytes, size, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

}  // namespace

extern "C" RPC_STATUS WINAPI UuidCreate(UUID* Uuid) {
    if (Uuid == nullptr) {
        return RPC_S_INVALID_ARG;
    }
    unsigned char bytes[16];
    if (!FillRandom(bytes, sizeof bytes)) {
        return RPC_S_OUT_OF_MEMORY;
    }
    std::memcpy(&Uuid->Data1, bytes, 4);
    std::memcpy(&Uuid->Data2, bytes + 4, 2);
    std::memcpy(&Uuid->Data3, bytes + 6, 2);
    std::memcpy(Uuid->Data4, bytes + 8, 8);
    // Version 4 in the top nibble of Data3; variant bits 10 at the top of
    // the clock sequence.
    Uuid->Data3 = static_cast<uint16_t>((Uuid->Data3 & 0x0FFF) | 0x4000);
    Uuid->Data4[0] = static_cast<uint8_t>((Uuid->Data4[0] & 0x3F) | 0x80);
    return RPC_S_OK;
}
