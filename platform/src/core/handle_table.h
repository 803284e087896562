// The process's table of kernel object handles. Files, events and threads are
// kernel objects; a handle names one reference to an object, and the object
// lives while any handle (or internal owner) still refers to it.
#pragma once

#include <windef.h>

#include <memory>

namespace platform {

class KernelObject {
  public:
    virtual ~KernelObject() = default;
};

// Adds a reference to `object` and returns its new handle (never null, never
// INVALID_HANDLE_VALUE).
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object a handle names, or null for an unknown or closed handle.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// Drops the handle; false when it was not open.
bool RemoveHandle(HANDLE handle);

}  // namespace platform
