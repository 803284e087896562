// Calls into the world made to fail or to crash, and the count of the calls
// made. Not a Windows API: the simulator and tests arm failures; the stand-ins
// (Outlook's object model, Extended MAPI, the safe-item library, the filter
// core) enter every member that the add-in can call through EnterMember.
//
// A member is named "Object.Member": the object as the add-in knows it and the
// member, "MailItem.Subject", "IMessage.SetReadFlag", "mapi32.HrGetOneProp",
// "Filter.Score" (docs/platform/call-faults.md lists the objects). A property's
// get and put share one name. The state is the process's, kept once in the
// platform library, and every function here may be called from any thread.
#pragma once

#include <oaidl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::calls {

enum class Action {
    Fail,   // the member returns `failure` with error information, as a failing server does
    Fault,  // the member raises an access violation inside the server's code
};

struct Injection {
    Action action = Action::Fail;
    HRESULT failure = E_FAIL;           // what a failing call returns
    std::optional<unsigned> times = 1;  // the calls it takes; nothing: every call from then on
    unsigned after = 0;                 // calls of the member to let pass first
};

// ---- Host side ----------------------------------------------------------------

// Arms `injection` for `member`: "Object.Member" names one object's member; a
// name without an object ("Version") names the member of that name on every
// object. Letter case is ignored. Armings of one member act in the order they
// were armed, each counting the calls it lets pass. False (and nothing armed)
// for an empty name, no times, or a failure that is not a failure code.
bool Arm(std::wstring_view member, const Injection& injection);
// Takes every armed injection back.
void DisarmAll();

struct ArmedInjection {
    std::wstring member;  // as armed
    Injection left;       // the times and the calls to let pass that are left
    unsigned fired = 0;   // the calls it failed or faulted so far
};
// What is armed now, in the order armed. An injection that has taken all its
// calls is gone.
std::vector<ArmedInjection> Armed();

struct MemberCalls {
    std::wstring member;  // "Object.Member"
    std::uint64_t calls = 0;
};
// Every member called so far, in the order of their first calls, with the
// number of calls (those made to fail or to fault included).
std::vector<MemberCalls> Census();
void ClearCensus();

// ---- Stand-in side ------------------------------------------------------------

// A COM object whose failing members set error information: what a failing
// member's error object says.
struct ComObject {
    const wchar_t* name;              // the object in member names, "MailItem"
    const wchar_t* source = nullptr;  // the error's source, "Microsoft Outlook"
    const CLSID* coclass = nullptr;   // or the class whose ProgID is the source
    const IID* iid = nullptr;         // the interface: the error's GUID
};

// Counts a call of `object`.`member`; raises the fault armed for it, or
// returns the failure armed for it; S_OK otherwise. A member calls it first,
// before it touches anything.
HRESULT EnterMember(std::wstring_view object, std::wstring_view member);
// The same for a member of a COM object: a failure comes with the thread's
// error information set (SetErrorInfo): `object`'s source, the description
// FailureDescription gives, the interface's GUID.
HRESULT EnterComMember(const ComObject& object, std::wstring_view member);

// Out-parameters as a failing server leaves them: null pointers, zeros, empty
// VARIANTs. Null out-parameters are skipped.
template <class... Out>
void ClearOutputs(Out*... outputs) {
    ((outputs ? static_cast<void>(*outputs = Out{}) : static_cast<void>(0)), ...);
}

template <class... Out>
HRESULT EnterMember(std::wstring_view object, std::wstring_view member, Out*... outputs) {
    const HRESULT result = EnterMember(object, member);
    if (FAILED(result))
        ClearOutputs(outputs...);
    return result;
}

template <class... Out>
HRESULT EnterComMember(const ComObject& object, std::wstring_view member, Out*... outputs) {
    const HRESULT result = EnterComMember(object, member);
    if (FAILED(result))
        ClearOutputs(outputs...);
    return result;
}

// What a failure that was made to happen says of itself, e.g.
// "MailItem.Subject failed with 0x80004005: the call was made to fail."
std::wstring FailureDescription(std::wstring_view object, std::wstring_view member,
                                HRESULT failure);

// While one lives on a thread, the calls that thread makes into the world are
// the world's own (a stand-in using its own objects inside one of its members)
// and are neither counted nor made to fail.
class WorldsOwnCalls {
  public:
    WorldsOwnCalls();
    ~WorldsOwnCalls();
    WorldsOwnCalls(const WorldsOwnCalls&) = delete;
    WorldsOwnCalls& operator=(const WorldsOwnCalls&) = delete;
};

// Writes to an unmapped address: an access violation in the calling code, as
// a crash inside a server looks to the exception filters on the stack.
void RaiseHardwareFault();

}  // namespace platform::calls
