// Registration of the classes the system provides. The common controls are
// there from the start, as when the common controls library is loaded with
// the process.
#include "window/system_classes.h"

#include "window/controls/control_state.h"

#include <mutex>

namespace platform::window {

void EnsureSystemClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterButtonClass();
        RegisterStaticClass();
        RegisterProgressClass();
        RegisterDialogClass();
    });
}

}  // namespace platform::window
