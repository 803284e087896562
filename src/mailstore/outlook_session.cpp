#include "mailstore/outlook_session.h"

#include <comdef.h>
#include <mapiguid.h>

#include <cstring>

#include "support/log/logged_stage.h"
#include "support/log/logger.h"

namespace {

// Outlook 2000 keeps its session behind a function its library does not
// export: the exported folder picker calls it first thing.
IMAPISession* FindOutlook2000Session(const char* logFunction) {
    CLogger& log = CLogger::GetInstance();
    HMODULE library = GetModuleHandleW(L"OUTLLIB.DLL");
    if (!library) {
        log.LogNumber(logFunction, L"module handle error: ", GetLastError());
        return nullptr;
    }
    const auto* code = static_cast<const BYTE*>(reinterpret_cast<const void*>(
        GetProcAddress(library, "HrDisplayFolderPickerForOutlookToday@0")));
    if (!code) {
        log.LogMessage(logFunction, L"could not get proc addr");
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
        log.LogMessage(logFunction, L"super object function was found");
        using SessionFunction = IMAPISession* (*)();
        return reinterpret_cast<SessionFunction>(target)();
    }
    return nullptr;
}

// The name space's MAPIOBJECT, which from Outlook 2002 on is the session.
CComPtr<IMAPISession> SessionOfNameSpace(Outlook::_Application* application,
                                         const char* logFunction) {
    CLogger& log = CLogger::GetInstance();
    CComPtr<Outlook::_NameSpace> names;
    if (LogIfFailed(logFunction, application->GetNamespace(CComBSTR(L"MAPI"), &names)) || !names) {
        log.LogMessage(logFunction, L"Could not get namesapce");
        return nullptr;
    }
    CComVariant object;
    LogIfFailed(logFunction, CComDispatchDriver(names).GetPropertyByName(L"MAPIOBJECT", &object));
    CComPtr<IMAPISession> session;
    if ((object.vt == VT_UNKNOWN || object.vt == VT_DISPATCH) && object.punkVal) {
        object.punkVal->QueryInterface(IID_IMAPISession, reinterpret_cast<void**>(&session));
        return session;
    }
    log.LogNumber(logFunction, L"mapi object vt", object.vt);
    log.LogNumber(logFunction, L"mapi object val",
                  static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(object.punkVal)));
    return nullptr;
}

}  // namespace

CComPtr<IMAPISession> FindOutlookSession(Outlook::_Application* application,
                                         int outlookMajorVersion, const char* logFunction) {
    if (!application)
        return nullptr;
    if (outlookMajorVersion > 9)
        return SessionOfNameSpace(application, logFunction);
    CComPtr<IMAPISession> session;
    if (outlookMajorVersion == 9)
        session.Attach(FindOutlook2000Session(logFunction));
    return session;
}
