// The base of the data worker: a worker client with a lock over two fields,
// the acting flag that the worker tests between its steps and the window it
// posts its results to. Execute and CloseHandle are left to the worker.
//
// Clearing the acting flag also wakes a worker that is pausing between two
// tries, so that a stop never waits for a pause to run out.
#pragma once

#include <atlutil.h>
#include <windows.h>

#include "support/replay/mutex.h"
#include "support/utility/unique_handle.h"

class CBVWorker : public IWorkerThreadClient {
  public:
    CBVWorker();
    virtual ~CBVWorker() = default;
    CBVWorker(const CBVWorker&) = delete;
    CBVWorker& operator=(const CBVWorker&) = delete;

    // The window the worker posts its results to.
    void Set(HWND hWnd);
    HWND WindowHandle();
    // Set while the worker may go on; the worker stops when it finds it clear.
    void SetIsAction(DWORD isAction);
    DWORD IsAction();

  protected:
    // Waits `milliseconds`, or less when the acting flag is cleared
    // meanwhile; true when the worker is to stop.
    bool PauseUnlessStopped(DWORD milliseconds);

  private:
    replay::mutex m_lock;  // a critical section, held for one field at a time
    DWORD m_isAction = 0;
    HWND m_hWnd = nullptr;
    UniqueHandle m_stopped;  // signalled while the acting flag is clear
};
