#include "support/replay/mutex.h"

namespace replay {

mutex::mutex() {
    InitializeCriticalSection(&m_section);
}
mutex::~mutex() {
    DeleteCriticalSection(&m_section);
}
void mutex::enter() {
    EnterCriticalSection(&m_section);
}
void mutex::leave() {
    LeaveCriticalSection(&m_section);
}

scope::scope(scope_semantics* held) : m_held(held) {
    if (m_held)
        m_held->enter();
}

scope::~scope() {
    if (m_held)
        m_held->leave();
}

void scope::enter() {
    if (m_held)
        m_held->enter();
}

void scope::leave() {
    if (!m_held)
        return;
    m_held->leave();
    m_held = nullptr;
}

}  // namespace replay
