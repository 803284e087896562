// GetSystemInfo: a 32-bit x86 Windows machine with the host's processor count.
#include <sysinfoapi.h>

#include "platform/clock.h"

#include <unistd.h>

#include <atomic>

namespace {

std::atomic<DWORD> hostProcessorCount{0};

DWORD ProcessorCount() {
    DWORD count = hostProcessorCount.load();
    if (count != 0)
        return count;
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<DWORD>(online) : 1;
}

}  // namespace

void platform::host::SetProcessorCount(DWORD count) {
    hostProcessorCount.store(count);
}

extern "C" void WINAPI GetSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
    SYSTEM_INFO info{};
    info.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    info.dwPageSize = 4096;
    // The user-mode address range of a 32-bit process without /3GB.
    info.lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x00010000);
    info.lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFEFFFF);
    info.dwNumberOfProcessors = ProcessorCount();
    DWORD maskBits = info.dwNumberOfProcessors < 32 ? info.dwNumberOfProcessors : 32;
    info.dwActiveProcessorMask = maskBits == 32 ? 0xFFFFFFFFu : (DWORD_PTR{1} << maskBits) - 1;
    info.dwProcessorType = PROCESSOR_INTEL_PENTIUM;
    info.dwAllocationGranularity = 65536;
    info.wProcessorLevel = 6;
    info.wProcessorRevision = 0;
    *lpSystemInfo = info;
}
