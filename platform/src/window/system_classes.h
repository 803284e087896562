// The window classes the system provides (buttons, statics, progress bars,
// dialogs), registered in the class table on first need.
#pragma once

namespace platform::window {

void EnsureSystemClasses();

}  // namespace platform::window
