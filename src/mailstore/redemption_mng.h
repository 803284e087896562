// The one wrapper of the safe-item library: a process-wide object holding the
// library's utility object, created on the user-interface thread at
// connection and destroyed with the add-in object.
#pragma once

#include <atlbase.h>
#include <bvoltool.h>

#include <string>

class CRedemptionMng {
  public:
    // Created by the first call; its utility object stays empty when the
    // library cannot be created, and the operations that need it fail.
    static CRedemptionMng& GetInstance();
    static void ReleaseInstance();

    CRedemptionMng(const CRedemptionMng&) = delete;
    CRedemptionMng& operator=(const CRedemptionMng&) = delete;
    ~CRedemptionMng();

    // The current mail profile's name. Without the utility object it raises
    // E_POINTER as a COM error, which the caller's handler logs.
    bool GetCurrentProfile(std::wstring& name);
    // The utility object, which raises the library's new-mail event; false
    // without it.
    bool GetNewMailEventSource(IUnknown** source);

  private:
    CRedemptionMng();

    CComPtr<bvoltool::IBVMAPIUtils> m_utils;
};

// Through the process-wide wrapper, with its own trace.
bool GetCurrentProfile(std::wstring& name);
