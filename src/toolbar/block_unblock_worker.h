// An action worker: its own thread waiting on its named event, and its own
// hidden stop window. It exists for the whole connection; the votes on the selected
// mails arrive with the block and unblock commands.
#pragma once

#include "addin/workers/action_worker.h"

class CBVBlockUnblockWorker : public CActionWorker<CBVBlockUnblockWorker> {
  public:
    // Resets the manual-reset event that woke the worker.
    HRESULT ExecuteImpl(DWORD_PTR, HANDLE hObject) {
        ResetEvent(hObject);
        return S_OK;
    }
};
