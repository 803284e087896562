// The worker that preloads the service data after a login: the outgoing-mail
// footers, the toolbar logo's link and the tell-a-friend link. It fetches
// what is still missing, retries the missing ones after a growing pause
// (4, 8, then 16 seconds), and tells the add-in's window when a link has
// arrived. The texts themselves stay with the filter proxy.
#pragma once

#include "addin/workers/bv_worker.h"

class CBrevintProxy;

class CBVDataWorker : public CBVWorker {
  public:
    HRESULT Execute(DWORD_PTR dwParam, HANDLE hObject) override;
    HRESULT CloseHandle(HANDLE hHandle) override;

    HRESULT ExecuteImpl(DWORD_PTR dwParam, HANDLE hObject);
    HRESULT CloseHandleImpl(HANDLE hHandle);

  private:
    // One pass over the three texts; false when one of them is still missing.
    bool LoadMissing();
    // Each text's step: fetched when missing; false when it still is.
    bool LoadFooters(CBrevintProxy& proxy);
    bool LoadLogoUrl(CBrevintProxy& proxy);
    bool LoadTellAFriendUrl(CBrevintProxy& proxy);
};
