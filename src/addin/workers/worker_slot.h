// One background worker as the add-in object keeps it: the named event that
// wakes it, the worker thread object that waits on that event, and the worker.
//
// A thread that cannot be started leaves the event and the worker in place
// with nothing running on them; the event is then closed here rather than by
// the thread object. A worker whose thread does not end within the shutdown
// wait is left alive for good: its thread may still be inside it, and must
// never meet a destroyed object.
#pragma once

#include <atlutil.h>
#include <windows.h>

#include <memory>

template <class Worker, class Thread = CWorkerThread<>>
class CWorkerSlot {
  public:
    CWorkerSlot() = default;
    CWorkerSlot(const CWorkerSlot&) = delete;
    CWorkerSlot& operator=(const CWorkerSlot&) = delete;
    ~CWorkerSlot() {
        if (!m_stopped)
            Stop(ATL_WORKER_THREAD_WAIT);
        if (m_leftBehind)
            (void)m_worker.release();  // still in use by a thread that outlived the wait
        else if (m_event && !m_threadOwnsEvent)
            CloseHandle(m_event);
    }

    // The named manual-reset event, not signalled, then the worker, then its
    // thread waiting on the event. False when the thread could not be started.
    bool Start(const wchar_t* eventName) {
        m_event = CreateEventW(nullptr, TRUE, FALSE, eventName);
        m_worker = std::make_unique<Worker>();
        m_threadOwnsEvent = m_event && SUCCEEDED(m_thread.Initialize()) &&
                            SUCCEEDED(m_thread.AddHandle(m_event, m_worker.get(), 0));
        return m_threadOwnsEvent;
    }

    // Whether the worker's event was created; a worker without one was never
    // started, and is not stopped either.
    bool HasEvent() const { return m_event != nullptr; }
    HANDLE Event() const { return m_event; }
    Worker* get() const { return m_worker.get(); }
    Worker* operator->() const { return m_worker.get(); }

    // Stops the thread, waiting for it up to `milliseconds`. False when the
    // worker was still running when the wait ran out: it is then kept alive.
    bool Stop(DWORD milliseconds) {
        m_stopped = true;
        const bool ended = SUCCEEDED(m_thread.Shutdown(milliseconds));
        if (m_threadOwnsEvent && !ended)
            m_leftBehind = true;
        return !m_leftBehind;
    }

  private:
    Thread m_thread;
    std::unique_ptr<Worker> m_worker;
    HANDLE m_event = nullptr;
    bool m_threadOwnsEvent = false;  // closed by the thread object's shutdown
    bool m_stopped = false;
    bool m_leftBehind = false;
};
