// The commands that make the world's answers go wrong: a member of Outlook's
// objects, of MAPI, of the safe-item library or of the filter core that
// fails (fail) or crashes (fault) when the add-in calls it. Rows of the
// command table (commands.cpp).
#include <platform/call_faults.h>
#include <platform/hex_digit.h>

#include <map>

#include "call_commands.h"
#include "text.h"

namespace olsim {
namespace {

using words::Expected;
using words::ParseNumber;

constexpr const char* kFailForm = "fail OBJECT.MEMBER [HRESULT] [times N|always] [after N]";

// The failure codes a scenario names, as the SDK spells them; any other is
// written in hexadecimal (0x80004005).
const std::map<std::string, HRESULT>& FailureNames() {
    static const std::map<std::string, HRESULT> names{
        {"E_FAIL", E_FAIL},
        {"E_UNEXPECTED", E_UNEXPECTED},
        {"E_NOTIMPL", E_NOTIMPL},
        {"E_OUTOFMEMORY", E_OUTOFMEMORY},
        {"E_INVALIDARG", E_INVALIDARG},
        {"E_NOINTERFACE", E_NOINTERFACE},
        {"E_POINTER", E_POINTER},
        {"E_ACCESSDENIED", E_ACCESSDENIED},
        {"E_ABORT", E_ABORT},
        {"DISP_E_EXCEPTION", DISP_E_EXCEPTION},
        {"DISP_E_MEMBERNOTFOUND", DISP_E_MEMBERNOTFOUND},
        {"DISP_E_TYPEMISMATCH", DISP_E_TYPEMISMATCH},
        {"RPC_E_DISCONNECTED", RPC_E_DISCONNECTED},
        {"RPC_E_CALL_REJECTED", static_cast<HRESULT>(0x80010001)},
        {"RPC_E_SERVERFAULT", static_cast<HRESULT>(0x80010105)},
        {"MAPI_E_CALL_FAILED", static_cast<HRESULT>(0x80004005)},
        {"MAPI_E_NOT_FOUND", static_cast<HRESULT>(0x8004010F)},
        {"MAPI_E_NO_ACCESS", static_cast<HRESULT>(0x80070005)},
        {"MAPI_E_NOT_ENOUGH_MEMORY", static_cast<HRESULT>(0x8007000E)},
        {"MAPI_E_NETWORK_ERROR", static_cast<HRESULT>(0x80040115)},
        {"MAPI_E_LOGON_FAILED", static_cast<HRESULT>(0x80040111)},
        {"MAPI_E_USER_CANCEL", static_cast<HRESULT>(0x80040113)},
        {"MAPI_E_OBJECT_DELETED", static_cast<HRESULT>(0x8004010A)},
    };
    return names;
}

// A failure code by name or as 0x followed by eight hexadecimal digits.
std::optional<HRESULT> ParseFailure(const std::string& text) {
    const auto named = FailureNames().find(text);
    if (named != FailureNames().end())
        return named->second;
    if (text.size() != 10 || text.rfind("0x", 0) != 0)
        return std::nullopt;
    DWORD code = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        const int digit = platform::HexDigitValue(text[i]);
        if (digit < 0)
            return std::nullopt;
        code = code * 16 + static_cast<DWORD>(digit);
    }
    const auto failure = static_cast<HRESULT>(code);
    return FAILED(failure) ? std::optional<HRESULT>(failure) : std::nullopt;
}

// The injection a fail line asks for; nothing when its words do not make one.
std::optional<platform::calls::Injection> FailLine(const std::vector<std::string>& w) {
    platform::calls::Injection injection;
    size_t i = 1;
    if (i < w.size() && w[i] != "times" && w[i] != "always" && w[i] != "after") {
        const auto failure = ParseFailure(w[i++]);
        if (!failure)
            return std::nullopt;
        injection.failure = *failure;
    }
    bool counted = false, delayed = false;
    while (i < w.size()) {
        if (w[i] == "always" && !counted) {
            injection.times.reset();
            counted = true;
            ++i;
        } else if ((w[i] == "times" || w[i] == "after") && i + 1 < w.size()) {
            const auto number = ParseNumber(w[i + 1]);
            if (!number)
                return std::nullopt;
            if (w[i] == "times" && !counted && *number > 0) {
                injection.times = *number;
                counted = true;
            } else if (w[i] == "after" && !delayed) {
                injection.after = *number;
                delayed = true;
            } else {
                return std::nullopt;
            }
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return injection;
}

}  // namespace

void CheckFail(const Step& step) {
    if (step.words.empty() || step.words[0].empty() || !FailLine(step.words))
        Expected(step, kFailForm);
}

std::string Fail(RunContext&, const Step& step) {
    return platform::calls::Arm(Widen(step.words[0]), *FailLine(step.words))
               ? ""
               : "could not arm a failure of " + step.words[0];
}

void CheckFault(const Step& step) {
    const auto& w = step.words;
    const bool valid =
        (w.size() == 1 && !w[0].empty()) || (w.size() == 3 && w[1] == "after" && ParseNumber(w[2]));
    if (!valid)
        Expected(step, "fault OBJECT.MEMBER [after N]");
}

std::string Fault(RunContext&, const Step& step) {
    platform::calls::Injection injection;
    injection.action = platform::calls::Action::Fault;
    if (step.words.size() == 3)
        injection.after = *ParseNumber(step.words[2]);
    return platform::calls::Arm(Widen(step.words[0]), injection)
               ? ""
               : "could not arm a fault of " + step.words[0];
}

}  // namespace olsim
