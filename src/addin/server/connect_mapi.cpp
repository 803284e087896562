// The add-in's share of Outlook's MAPI session.
#include "addin/server/connect.h"
#include "filtering/new_mail_detection.h"
#include "mailstore/outlook_session.h"
#include "support/log/logged_stage.h"
#include "support/log/trace_scope.h"

namespace {
constexpr const char* kGetMapiSession = "CConnect::GetMapiSession";
}  // namespace

void CConnect::GetMapiSession(IMAPISession** session) {
    CTraceScope trace(kGetMapiSession);
    *session = FindOutlookSession(m_application, m_outlookMajorVersion, kGetMapiSession).Detach();
}

void CConnect::LoginMapi(bool ownSession) {
    RunLoggedStage("CConnect::LoginMapi", L"Unhandled exception", [&] {
        CComPtr<IMAPISession> session;
        if (!ownSession)
            GetMapiSession(&session);
        m_mapiHelper.Login(session);
    });
}

HRESULT CConnect::AdviseMapiHelper(ULONG eventMask) {
    return m_mapiHelper.Advise(OnNewMailNotif, eventMask, m_hWnd);
}
