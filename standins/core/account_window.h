// The core's account settings window: a visible top-level window of class
// "BrevintAccountSettings", one per process.
#pragma once

namespace standins::core {

// Creates the window on the calling thread, which must run a message loop
// for it, and returns at once; when it is open already it is shown and
// brought to the top. False (with the last error set) when it cannot be
// created.
bool ShowAccountSettingsWindow();

}  // namespace standins::core
