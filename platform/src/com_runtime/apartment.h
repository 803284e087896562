// Which apartment each thread has entered through CoInitializeEx.
//
// Only the bookkeeping lives here: a thread's model and its count of
// initialisations, and the process's multithreaded apartment. Calls between
// apartments are not marshalled yet: that needs the window system's message
// loop to serve a single-threaded apartment's incoming calls. Activation asks
// CanActivate() and hands out objects directly; cross-apartment proxies, when
// they come, go where activation returns a class object (see activation_api.cpp).
#pragma once

#include <windef.h>

namespace platform::com {

enum class ApartmentKind { None, SingleThreaded, MultiThreaded };

// The calling thread's apartment; a thread that never initialised COM is in
// the multithreaded apartment implicitly while some thread has entered it.
ApartmentKind CurrentApartment();

// Whether the calling thread may create objects: it has initialised COM, or
// the process has a multithreaded apartment it implicitly belongs to.
bool CanActivate();

}  // namespace platform::com
