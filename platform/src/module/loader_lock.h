// The loader lock: one process-wide lock that serialises loading, unloading
// and the entry points (DllMain) that run meanwhile, as Windows' loader does.
// It is a critical section of the platform, so it is recursive (an entry
// point may load another module) and a thread blocked on it counts as settled
// for the virtual clock.
#pragma once

namespace platform::module {

class LoaderLockGuard {
  public:
    LoaderLockGuard();
    ~LoaderLockGuard();
    LoaderLockGuard(const LoaderLockGuard&) = delete;
    LoaderLockGuard& operator=(const LoaderLockGuard&) = delete;
};

}  // namespace platform::module
