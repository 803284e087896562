// The add-in's share of Outlook's MAPI session.
#include <comdef.h>

#include <cstring>

#include "addin/server/connect.h"
#include "filtering/new_mail_detection.h"
#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"

namespace {

constexpr const char* kGetMapiSession = "CConnect::GetMapiSession";

// Outlook 2000 keeps its session behind a function its library does not
// export: the exported folder picker calls it first thing.
IMAPISession* FindOutlook2000Session() {
    CLogger& log = CLogger::GetInstance();
    HMODULE library = GetModuleHandleW(L"OUTLLIB.DLL");
    if (!library) {
        log.LogNumber(kGetMapiSession, L"module handle error: ", GetLastError());
        return nullptr;
    }
    const auto* code = static_cast<const BYTE*>(reinterpret_cast<const void*>(
        GetProcAddress(library, "HrDisplayFolderPickerForOutlookToday@0")));
    if (!code) {
        log.LogMessage(kGetMapiSession, L"could not get proc addr");
        return nullptr;
    }
    const auto base = reinterpret_cast<ULONG_PTR>(library);
    const auto limit = reinterpret_cast<ULONG_PTR>(code) + 0x100000;
    // A relative call: opcode 0xE8, then the 32-bit distance from the next
    // instruction.
    for (int offset = 0; offset + 5 <= 100; ++offset) {
        if (code[offset] != 0xE8)
            continue;
        int32_t distance = 0;
        std::memcpy(&distance, code + offset + 1, sizeof distance);
        const ULONG_PTR target = reinterpret_cast<ULONG_PTR>(code + offset + 5) + distance;
        if (target <= base || target >= limit)
            continue;
        log.LogMessage(kGetMapiSession, L"super object function was found");
        using SessionFunction = IMAPISession* (*)();
        return reinterpret_cast<SessionFunction>(target)();
    }
    return nullptr;
}

}  // namespace

void CConnect::GetMapiSession(IMAPISession** session) {
    CTraceScope trace(kGetMapiSession);
    *session = nullptr;
    if (!m_application)
        return;
    CLogger& log = CLogger::GetInstance();
    if (m_outlookMajorVersion > 9) {
        CComPtr<Outlook::_NameSpace> names;
        if (LogIfFailed(kGetMapiSession, m_application->GetNamespace(CComBSTR(L"MAPI"), &names)) ||
            !names) {
            log.LogMessage(kGetMapiSession, L"Could not get namesapce");
            return;
        }
        CComVariant object;
        LogIfFailed(kGetMapiSession,
                    CComDispatchDriver(names).GetPropertyByName(L"MAPIOBJECT", &object));
        if ((object.vt == VT_UNKNOWN || object.vt == VT_DISPATCH) && object.punkVal) {
            object.punkVal->QueryInterface(__uuidof(IMAPISession),
                                           reinterpret_cast<void**>(session));
            return;
        }
        log.LogNumber(kGetMapiSession, L"mapi object vt", object.vt);
        log.LogNumber(kGetMapiSession, L"mapi object val",
                      static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(object.punkVal)));
        return;
    }
    if (m_outlookMajorVersion == 9)
        *session = FindOutlook2000Session();
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
