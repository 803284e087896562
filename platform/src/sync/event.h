// Event kernel objects: manual-reset (stays signalled until reset, releases
// every waiter) and auto-reset (released to exactly one waiter, which resets it).
#pragma once

#include "core/handle_table.h"
#include "sync/wait.h"

namespace platform::sync {

class Event : public KernelObject, public SignalSource {
  public:
    Event(bool manualReset, bool initiallySignalled)
        : manualReset_(manualReset), signalled_(initiallySignalled) {}

    bool IsSignalled() const override { return signalled_; }
    void Acquire() override {
        if (!manualReset_)
            signalled_ = false;
    }

    // Each with the scheduler lock held.
    void Set();
    void Reset() { signalled_ = false; }
    // Releases the threads waiting now (all, or one for auto-reset) and leaves
    // the event unsignalled.
    void Pulse();

  private:
    const bool manualReset_;
    bool signalled_;
};

}  // namespace platform::sync
