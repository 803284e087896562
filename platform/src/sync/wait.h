// The waiting core that every blocking call of the platform is built on:
// a thread waits for any or all of a set of signal sources, or until a
// deadline on the platform clock passes.
//
// One lock (the scheduler lock) guards the state of every source, every
// waiter and the virtual time's movement. A source's owner changes its state
// under that lock and then calls WakeWaiters(), which hands the source to the
// waiters it now satisfies, oldest first. So a wait-all takes all of its
// sources at once, and an auto-reset source releases exactly one waiter.
//
// To build a new kind of wait (a message queue, a timer), derive a source,
// keep its state under LockScheduler(), and call Wait() with the lock held:
// the check of the state and the start of the wait are then one step.
#pragma once

#include <windef.h>

#include <cstddef>
#include <mutex>
#include <span>
#include <vector>

namespace platform::sync {

struct Waiter;

std::unique_lock<std::mutex> LockScheduler();

class SignalSource {
  public:
    SignalSource() = default;
    SignalSource(const SignalSource&) = delete;
    SignalSource& operator=(const SignalSource&) = delete;
    virtual ~SignalSource() = default;

    // Whether a wait on this source would be satisfied now. Lock held.
    virtual bool IsSignalled() const = 0;
    // A wait was satisfied by this source: take what the wait consumes (an
    // auto-reset event turns unsignalled). Lock held.
    virtual void Acquire() {}

  protected:
    // Call with the lock held after the state turned signalled.
    void WakeWaiters();

  private:
    friend struct WaitCore;
    std::vector<Waiter*> m_waiters;
};

enum class WaitMode { Any, All };

// A point on the tick timeline of the platform clock; kNoDeadline never comes.
constexpr ULONGLONG kNoDeadline = ~ULONGLONG{0};
// The deadline `ms` milliseconds from now (INFINITE gives kNoDeadline).
ULONGLONG DeadlineAfter(DWORD ms);

struct WaitOutcome {
    bool signalled = false;  // false: the deadline came first
    size_t index = 0;        // wait-any: the lowest index of a signalled source
};

// Waits with `lock` (the scheduler lock) held; returns with it held. The
// sources must stay alive until the call returns. With no sources in Any mode
// only the deadline can end the wait (that is Sleep). A deadline that has
// already passed makes this a poll.
WaitOutcome Wait(std::unique_lock<std::mutex>& lock, std::span<SignalSource* const> sources,
                 WaitMode mode, ULONGLONG deadline);

// Bookkeeping for the virtual clock's advance, which waits until the threads
// it woke have settled (blocked again or ended). Call with the lock held.
//
// A thread started through CreateThread counts as running from its creation
// (or resumption) until it first blocks: ExpectThreadStart on the creating
// side, AdoptThreadStart on the new thread. ThreadEnding when it ends.
void ExpectThreadStart();
void AdoptThreadStart();
void ThreadEnding();
// The calling host thread settles like a CreateThread thread from now on,
// and counts as running until it next blocks.
void SettleLikeAPlatformThread();
// The host's mode in which virtual time moves by itself to the earliest
// deadline whenever every thread counted by the advance has settled
// (platform::host::AdvanceWhenAllWait). Lock held.
void PassTimeWhenAllWait(bool on);
// Blocks the calling thread in a platform wait that never ends, so that it
// counts as settled for the movement of virtual time. Takes the lock.
[[noreturn]] void ParkForever();

// The host's advance of virtual time (platform::host::AdvanceClock).
void AdvanceVirtualTime(ULONGLONG ms);
// The earliest deadline of a blocked thread, or kNoDeadline. Lock held.
ULONGLONG EarliestDeadline();
// Lets timed waiters look at the clock again after a change of mode. Lock held.
void RecheckDeadlines();

}  // namespace platform::sync
