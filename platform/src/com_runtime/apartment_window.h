// The hidden window through which a single-threaded apartment's message loop
// learns of calls queued to it.
#pragma once

namespace platform::com {

class Apartment;

// On the apartment's thread, when it opens and closes.
void OpenApartmentWindow(Apartment& apartment);
void CloseApartmentWindow(Apartment& apartment);
// From any thread, after a call was queued.
void AnnounceQueuedCalls(Apartment& apartment);

}  // namespace platform::com
