// Thread kernel objects: signalled when the thread ends, carrying its exit
// code. Threads the platform did not start (the host's main thread, threads
// of the standard library) get an object and an identifier on first use.
#pragma once

#include "core/handle_table.h"
#include "sync/wait.h"

#include <condition_variable>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace platform::sync {

class ThreadObject : public KernelObject, public SignalSource {
  public:
    ThreadObject(DWORD id, DWORD suspendCount) : m_id(id), m_suspendCount(suspendCount) {}

    DWORD id() const { return m_id; }
    bool IsSignalled() const override { return m_exitCode.has_value(); }

    // Each with the scheduler lock held.
    std::optional<DWORD> exitCode() const { return m_exitCode; }
    void End(DWORD exitCode);
    // Lowers the suspend count; returns the count before. A thread whose
    // count reaches 0 starts running.
    DWORD Resume();
    // Blocks the new thread while it is suspended.
    void WaitUntilResumed(std::unique_lock<std::mutex>& lock);
    // What the thread is blocked on now; empty when it is not waiting.
    const std::vector<SignalSource*>& waitingOn() const { return m_waitingOn; }
    bool waiting() const { return m_waiting; }
    void SetWaiting(bool waiting, std::span<SignalSource* const> sources) {
        m_waiting = waiting;
        m_waitingOn.assign(sources.begin(), sources.end());
    }

  private:
    const DWORD m_id;
    DWORD m_suspendCount;
    std::condition_variable m_resumed;
    std::optional<DWORD> m_exitCode;
    bool m_waiting = false;
    std::vector<SignalSource*> m_waitingOn;
};

// Notes, with the scheduler lock held, that the calling thread (when the
// platform started it) begins or ends a wait on `sources`.
void NoteWaiting(bool waiting, std::span<SignalSource* const> sources);

// The calling thread's object.
std::shared_ptr<ThreadObject> CurrentThreadObject();

// The kernel object a handle names, with the pseudo handles of the current
// thread and process resolved; null for an unknown handle.
std::shared_ptr<KernelObject> ResolveHandle(HANDLE handle);

}  // namespace platform::sync
