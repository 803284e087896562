// The signal sources behind a list of wait handles, kept alive while a
// thread waits on them.
#pragma once

#include "core/handle_table.h"
#include "sync/wait.h"

#include <memory>
#include <vector>

namespace platform::sync {

struct WaitSet {
    std::vector<std::shared_ptr<KernelObject>> owners;
    std::vector<SignalSource*> sources;
};

// False when a handle is unknown or names an object that cannot be waited on.
bool CollectWaitSet(const HANDLE* handles, DWORD count, WaitSet& set);

// Whether one object appears twice (a wait-all cannot take it twice).
bool HasRepeatedObject(std::vector<SignalSource*> sources);

}  // namespace platform::sync
