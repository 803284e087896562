// Event kernel objects: manual-reset (stays signalled until reset, releases
// every waiter) and auto-reset (released to exactly one waiter, which resets it).
#pragma once

#include "core/handle_table.h"
#include "sync/wait.h"

namespace platform::sync {

class Event : public KernelObject, public SignalSource {
  public:
    Event(bool manualReset, bool initiallySignalled)
        : m_manualReset(manualReset), m_signalled(initiallySignalled) {}

    bool IsSignalled() const override { return m_signalled; }
    void Acquire() override {
        if (!m_manualReset)
            m_signalled = false;
    }

    // Each with the scheduler lock held.
    void Set();
    void Reset() { m_signalled = false; }
    // Releases the threads waiting now (all, or one for auto-reset) and leaves
    // the event unsignalled.
    void Pulse();

  private:
    const bool m_manualReset;
    bool m_signalled;
};

}  // namespace platform::sync
