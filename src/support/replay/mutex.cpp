#include "support/replay/mutex.h"

namespace replay {

mutex::mutex() {
    InitializeCriticalSection(&section_);
}
mutex::~mutex() {
    DeleteCriticalSection(&section_);
}
void mutex::enter() {
    EnterCriticalSection(&section_);
}
void mutex::leave() {
    LeaveCriticalSection(&section_);
}

scope::scope(scope_semantics* held) : held_(held) {
    if (held_)
        held_->enter();
}

scope::~scope() {
    if (held_)
        held_->leave();
}

void scope::enter() {
    if (held_)
        held_->enter();
}

void scope::leave() {
    if (!held_)
        return;
    held_->leave();
    held_ = nullptr;
}

}  // namespace replay
