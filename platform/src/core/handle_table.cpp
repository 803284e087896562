#include "core/handle_table.h"

#include <errhandlingapi.h>
#include <handleapi.h>
#include <winerror.h>

#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<UINT_PTR, std::shared_ptr<KernelObject>> objects;
    // Windows hands out handle values in steps of four, starting low.
    UINT_PTR next = 0x100;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable;  // lives as long as the process
    return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    auto& table = Table();
    std::lock_guard guard(table.lock);
    UINT_PTR value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    auto& table = Table();
    std::lock_guard guard(table.lock);
    auto found = table.objects.find(reinterpret_cast<UINT_PTR>(handle));
    return found == table.objects.end() ? nullptr : found->second;
}

bool RemoveHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> released;  // destroyed outside the lock
    auto& table = Table();
    std::lock_guard guard(table.lock);
    auto found = table.objects.find(reinterpret_cast<UINT_PTR>(handle));
    if (found == table.objects.end())
        return false;
    released = std::move(found->second);
    table.objects.erase(found);
    return true;
}

}  // namespace platform

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
    // The pseudo handles of the current process (-1) and thread (-2) are not
    // in the table; closing them does nothing and succeeds.
    const auto value = reinterpret_cast<LONG_PTR>(hObject);
    if (value == -1 || value == -2)
        return TRUE;
    if (!platform::RemoveHandle(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
