// The process's namespace of named kernel objects. A name lives as long as
// its object: when the last handle to it closes, the name is free again.
// Names are compared exactly (kernel object names are case-sensitive).
#pragma once

#include "core/handle_table.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform::sync {

struct NamedObject {
    std::shared_ptr<KernelObject> object;
    bool existed = false;  // the name already named a live object
};

// The object of that name, made with `make` when there is none.
NamedObject FindOrCreateNamed(const std::wstring& name,
                              const std::function<std::shared_ptr<KernelObject>()>& make);

// The object of that name, or null.
std::shared_ptr<KernelObject> FindNamed(const std::wstring& name);

// Every live named object with its name.
std::vector<std::pair<std::wstring, std::shared_ptr<KernelObject>>> AllNamed();

}  // namespace platform::sync
