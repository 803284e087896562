// An action worker: its own thread waiting on its named event, and its own
// hidden stop window. It exists for the whole connection; the walk through a folder's
// items arrives with the recheck and the folder cleaning.
#pragma once

#include "addin/workers/action_worker.h"

class CBVCleanFolderWorker : public CActionWorker<CBVCleanFolderWorker> {
  public:
    // Resets the manual-reset event that woke the worker.
    HRESULT ExecuteImpl(DWORD_PTR, HANDLE hObject) {
        ResetEvent(hObject);
        return S_OK;
    }
};
