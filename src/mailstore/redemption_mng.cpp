#include "mailstore/redemption_mng.h"

#include <comdef.h>

#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "support/utility/com_create.h"
#include "support/utility/com_error.h"

namespace {

// Owned by the add-in object, which releases it when it is destroyed; it is
// never destroyed at process exit, where the library's objects it holds may
// already be gone.
CRedemptionMng* g_instance = nullptr;

}  // namespace

CRedemptionMng& CRedemptionMng::GetInstance() {
    CTraceScope trace("CRedemptionMng::GetInstance");
    // First used on the user-interface thread during connection: no lock.
    if (!g_instance)
        g_instance = new CRedemptionMng();
    return *g_instance;
}

void CRedemptionMng::ReleaseInstance() {
    delete g_instance;
    g_instance = nullptr;
}

CRedemptionMng::CRedemptionMng() {
    CTraceScope trace("CRedemptionMng::CRedemptionMng");
    CreateByProgId(L"BVOLTOOL.BVMAPIUtils", __uuidof(bvoltool::IBVMAPIUtils),
                   reinterpret_cast<void**>(&m_utils));
}

CRedemptionMng::~CRedemptionMng() = default;

bool CRedemptionMng::GetCurrentProfile(std::wstring& name) {
    constexpr const char* kFunction = "CRedemptionMng::GetCurrentProfile";
    CTraceScope trace(kFunction);
    if (!m_utils) {
        CLogger::GetInstance().LogMessage(kFunction, L"Profile error");
        _com_issue_error(E_POINTER);
    }
    bool found = false;
    CComBSTR profile;
    if (!LogIfFailed(kFunction, m_utils->get_CurrentProfileName(&profile)) &&
        profile.Length() > 0) {
        name.assign(profile.m_str, profile.Length());
        CLogger::GetInstance().LogMessage(kFunction, L"Profile: " + name);
        found = true;
    } else {
        CLogger::GetInstance().LogMessage(kFunction, L"Could not get current profile name");
    }
    LogIfFailed(kFunction, m_utils->Cleanup());
    return found;
}

void CRedemptionMng::CleanupUtils() {
    if (!m_utils)
        _com_issue_error(E_POINTER);
    RaiseIfFailed(m_utils->Cleanup(), m_utils.p);
}

bool CRedemptionMng::GetNewMailEventSource(IUnknown** source) {
    *source = nullptr;
    if (!m_utils)
        return false;
    return SUCCEEDED(m_utils->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(source)));
}

bool GetCurrentProfile(std::wstring& name) {
    CTraceScope trace("GetCurrentProfile");
    return CRedemptionMng::GetInstance().GetCurrentProfile(name);
}
