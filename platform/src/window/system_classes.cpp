// Registration of the classes the system provides.
#include "window/system_classes.h"

#include "window/window_table.h"

#include <mutex>

namespace platform::window {

void EnsureSystemClasses() {
    static std::once_flag once;
    std::call_once(once, [] {});
}

}  // namespace platform::window
