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
    ThreadObject(DWORD id, DWORD suspendCount) : id_(id), suspendCount_(suspendCount) {}

    DWORD id() const { return id_; }
    bool IsSignalled() const override { return exitCode_.has_value(); }

    // Each with the scheduler lock held.
    std::optional<DWORD> exitCode() const { return exitCode_; }
    void End(DWORD exitCode);
    // Lowers the suspend count; returns the count before. A thread whose
    // count reaches 0 starts running.
    DWORD Resume();
    // Blocks the new thread while it is suspended.
    void WaitUntilResumed(std::unique_lock<std::mutex>& lock);
    // What the thread is blocked on now; empty when it is not waiting.
    const std::vector<SignalSource*>& waitingOn() const { return waitingOn_; }
    bool waiting() const { return waiting_; }
    void SetWaiting(bool waiting, std::span<SignalSource* const> sources) {
        waiting_ = waiting;
        waitingOn_.assign(sources.begin(), sources.end());
    }

  private:
    const DWORD id_;
    DWORD suspendCount_;
    std::condition_variable resumed_;
    std::optional<DWORD> exitCode_;
    bool waiting_ = false;
    std::vector<SignalSource*> waitingOn_;
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
