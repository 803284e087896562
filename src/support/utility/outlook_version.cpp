#include "support/utility/outlook_version.h"

#include <atlbase.h>
#include <oleauto.h>

#include "support/language/ini_parser.h"
#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"

namespace {

// The application's Version property, read by name; empty when it cannot be
// read (a failed read is logged with its reason).
std::wstring ReadVersion(IDispatch* application) {
    CComVariant result;
    std::wstring version;
    if (!LogIfFailed("GetOutlookVersion",
                     CComDispatchDriver(application).GetPropertyByName(L"Version", &result)) &&
        result.vt == VT_BSTR && result.bstrVal)
        version.assign(result.bstrVal, SysStringLen(result.bstrVal));
    return version;
}

}  // namespace

bool GetOutlookVersion(IDispatch* application, DWORD& major, std::wstring& text) {
    CTraceScope trace("GetOutlookVersion");
    if (!application)
        return false;
    std::wstring version = ReadVersion(application);
    if (version.empty()) {
        CLogger::GetInstance().LogMessage("GetOutlookVersion", L"Could not get OL version");
        return false;
    }
    CLogger::GetInstance().LogMessage("GetOutlookVersion", L"OL version: " + version);
    size_t dot = version.find(L'.');
    if (dot == std::wstring::npos)
        return false;
    std::wstring head = version.substr(0, dot);
    major = static_cast<DWORD>(LeadingNumber(head));
    text = head + L".0";
    return true;
}
