// The structured-exception guard around every entry point that Outlook, a
// window message or a worker thread calls: a hardware fault inside writes a
// crash dump and goes on to the host, which sees the fault as it would
// without the add-in.
#pragma once

#include <seh_guard.h>

#include <utility>

#include "addin/crash/minidump_handler.h"

// Runs `entry` and returns its result; a fault inside never returns here.
template <class Entry>
auto GuardedEntry(Entry&& entry) -> decltype(entry()) {
    static const platform::seh::Filter filter = &CMiniDumpHandler::Filter;
    if constexpr (std::is_void_v<decltype(entry())>) {
        platform::seh::Guarded(filter, std::forward<Entry>(entry));
    } else {
        decltype(entry()) result{};
        platform::seh::Guarded(filter, [&] { result = entry(); });
        return result;
    }
}
