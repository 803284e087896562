#include "module/loader_lock.h"

#include <synchapi.h>

namespace platform::module {
namespace {

CRITICAL_SECTION& LoaderLock() {
    // Lives as long as the process: modules may be freed from static destructors.
    static CRITICAL_SECTION* lock = [] {
        auto* section = new CRITICAL_SECTION;
        InitializeCriticalSection(section);
        return section;
    }();
    return *lock;
}

}  // namespace

LoaderLockGuard::LoaderLockGuard() {
    EnterCriticalSection(&LoaderLock());
}
LoaderLockGuard::~LoaderLockGuard() {
    LeaveCriticalSection(&LoaderLock());
}

}  // namespace platform::module
