// The one filter engine of the process, shared by the filter object and the
// two sender-rule objects. It keeps its store in the user's application-data
// folder, Brevint\Filter, and is opened on first need; the library object
// opens it at start and lets it go at stop. Callers hold the engine they
// were given for the length of their call, so a stop never pulls it away
// under a score or a vote.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>

#include "filter/filter_engine.h"

namespace standins::core {

// The engine, opened now if it is not open yet; null when its store cannot
// be opened (damaged, held by another process, not writable).
std::shared_ptr<bv::filter::FilterEngine> SharedEngine();
// Lets the process's engine go; the next SharedEngine opens it again.
void ReleaseSharedEngine();

// E_FAIL for a call that found no engine, with error information that
// gives the caller the store's own reason ("unsupported version 9", ...), as
// the object of class `clsid` answering on interface `iid`.
HRESULT StoreUnavailable(REFCLSID clsid, REFIID iid);
// E_FAIL for a call whose change could not be written, with `reason`.
HRESULT StoreWriteFailed(REFCLSID clsid, REFIID iid, const char* reason);

// Held around a look at a sender list and the change that follows it.
std::mutex& SenderListsMutex();

}  // namespace standins::core
