// What follows for an exception that no guard of its thread handled, shared
// by hardware faults (signals) and C++ exceptions (std::terminate).
#pragma once

#include <windows.h>

#include <ucontext.h>

namespace platform::seh {

// The unhandled-exception filter, then the host's crash handler: ends the
// process when the filter answers EXCEPTION_EXECUTE_HANDLER, parks the thread
// for ever once a host crash handler has been told. Returns the filter's
// answer otherwise: EXCEPTION_CONTINUE_EXECUTION (never for an exception
// that cannot be continued) or EXCEPTION_CONTINUE_SEARCH, after which the
// host's own handling follows.
LONG Unhandled(EXCEPTION_POINTERS& pointers);

// Takes the fault signals and std::terminate over, keeping what handled
// them before as the host's handling.
void InstallHandlers();
// The part of that for std::terminate (cpp_exceptions.cpp); under the
// installation's lock.
void InstallTerminateHandler();

// The integer registers of a machine context.
void FillContext(const ucontext_t* machine, CONTEXT& context);

}  // namespace platform::seh
