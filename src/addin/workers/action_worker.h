// What the action workers (block, unblock, folder cleaning and recheck)
// share: a worker client with a run flag of its own and a hidden window made
// from dialog 206 on the user-interface thread, through which it is stopped.
// A stop request (1045) clears the run flag; the worker sees it at its next
// test between two items and ends.
#pragma once

#include <atlutil.h>
#include <atlwin.h>

#include <atomic>

#include "addin/crash/entry_guard.h"
#include "addin/workers/worker_entry.h"
#include "addin/workers/worker_messages.h"
#include "resources/resource_ids.h"

template <class T>
class CActionWorker : public IWorkerThreadClient, public CAxDialogImpl<T> {
  public:
    enum { IDD = IDD_WORKER_WINDOW };

    BEGIN_MSG_MAP(CActionWorker)
    MESSAGE_HANDLER(WM_BV_STOP_ACTION, OnStopAction)
    END_MSG_MAP()

    // The worker entries run the worker's own operations inside the entry guard.
    HRESULT Execute(DWORD_PTR dwParam, HANDLE hObject) override {
        return GuardedEntry([&] { return static_cast<T*>(this)->ExecuteImpl(dwParam, hObject); });
    }
    HRESULT CloseHandle(HANDLE hHandle) override {
        return GuardedEntry([&] { return static_cast<T*>(this)->CloseHandleImpl(hHandle); });
    }
    HRESULT CloseHandleImpl(HANDLE hHandle) { return CloseWorkerHandle(hHandle); }

    // The hidden stop window, without an owner; on the user-interface thread.
    HWND CreateStopWindow() { return this->Create(nullptr); }

    // Asks the worker to stop through its own window, as a stop request from
    // the progress window does.
    void PostStop() {
        if (this->m_hWnd)
            PostMessageW(this->m_hWnd, WM_BV_STOP_ACTION, 0, 0);
    }

    // Written by the user-interface thread, read by the worker between items.
    DWORD IsRun() const { return m_isRun.load(std::memory_order_relaxed); }
    void SetRun(DWORD isRun) { m_isRun.store(isRun, std::memory_order_relaxed); }

  protected:
    // Clears the run flag; a worker that has more to stop replaces it.
    void OnStopActionImpl() { SetRun(0); }

  private:
    LRESULT OnStopAction(UINT, WPARAM, LPARAM, BOOL&) {
        GuardedEntry([this] { static_cast<T*>(this)->OnStopActionImpl(); });
        return 0;
    }

    std::atomic<DWORD> m_isRun{0};
};
