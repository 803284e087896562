// Until the window system is part of the platform, an apartment has no window:
// its queued calls are served only while its thread waits in the COM runtime.
#include "com_runtime/apartment_window.h"

namespace platform::com {

void OpenApartmentWindow(Apartment&) {}
void CloseApartmentWindow(Apartment&) {}
void AnnounceQueuedCalls(Apartment&) {}

}  // namespace platform::com
