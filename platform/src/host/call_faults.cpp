// The process's injections and census of calls into the world. One lock
// guards both: a member's entry is a short look-up, and the stand-ins are
// separate modules that must all reach this one state.
#include <platform/call_faults.h>

#include "fs/case_fold.h"

#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <mutex>
#include <unordered_map>

namespace platform::calls {
namespace {

struct Arming {
    std::wstring member;
    Injection left;
    unsigned fired = 0;

    // "Object.Member" matches itself; a bare "Member" matches it on any object.
    bool Matches(std::wstring_view called, std::wstring_view memberPart) const {
        if (member.find(L'.') == std::wstring::npos)
            return fs::NamesEqualIgnoringCase(member, memberPart);
        return fs::NamesEqualIgnoringCase(member, called);
    }
};

// What a call is to do, decided under the lock and carried out after it.
struct Decision {
    bool fault = false;
    HRESULT result = S_OK;
};

class Registry {
  public:
    static Registry& Process() {
        // Lives as long as the process: members may be entered while it ends.
        static auto* registry = new Registry();
        return *registry;
    }

    bool Arm(std::wstring_view member, const Injection& injection) {
        if (member.empty() || (injection.times && *injection.times == 0))
            return false;
        if (injection.action == Action::Fail && !FAILED(injection.failure))
            return false;
        std::lock_guard guard(m_lock);
        m_armed.push_back({std::wstring(member), injection, 0});
        return true;
    }

    void DisarmAll() {
        std::lock_guard guard(m_lock);
        m_armed.clear();
    }

    std::vector<ArmedInjection> Armed() {
        std::lock_guard guard(m_lock);
        std::vector<ArmedInjection> listed;
        for (const Arming& arming : m_armed)
            listed.push_back({arming.member, arming.left, arming.fired});
        return listed;
    }

    std::vector<MemberCalls> Census() {
        std::lock_guard guard(m_lock);
        return m_census;
    }

    void ClearCensus() {
        std::lock_guard guard(m_lock);
        m_census.clear();
        m_censusIndex.clear();
    }

    // `called` is "Object.Member"; `memberPart` its member.
    Decision Enter(const std::wstring& called, std::wstring_view memberPart) {
        std::lock_guard guard(m_lock);
        Count(called);
        Decision decision;
        bool taken = false;
        for (Arming& arming : m_armed) {
            if (!arming.Matches(called, memberPart))
                continue;
            if (arming.left.after > 0) {
                --arming.left.after;
                continue;
            }
            if (taken)
                continue;
            taken = true;
            ++arming.fired;
            if (arming.left.times)
                --*arming.left.times;
            decision.fault = arming.left.action == Action::Fault;
            decision.result = decision.fault ? S_OK : arming.left.failure;
        }
        std::erase_if(m_armed, [](const Arming& arming) {
            return arming.left.times && *arming.left.times == 0;
        });
        return decision;
    }

  private:
    void Count(const std::wstring& called) {
        auto found = m_censusIndex.find(called);
        if (found != m_censusIndex.end()) {
            ++m_census[found->second].calls;
            return;
        }
        m_censusIndex.emplace(called, m_census.size());
        m_census.push_back({called, 1});
    }

    std::mutex m_lock;
    std::vector<Arming> m_armed;
    std::vector<MemberCalls> m_census;
    std::unordered_map<std::wstring, size_t> m_censusIndex;
};

thread_local int worldsOwnCallDepth = 0;

// The calling thread's "Object.Member", built in a buffer the thread keeps,
// so that a call allocates nothing once its thread has seen a long name.
const std::wstring& CalledName(std::wstring_view object, std::wstring_view member) {
    thread_local std::wstring name;
    name.assign(object);
    name += L'.';
    name += member;
    return name;
}

void SetFailureInfo(const ComObject& object, std::wstring_view member, HRESULT failure) {
    ICreateErrorInfo* creator = nullptr;
    if (FAILED(CreateErrorInfo(&creator)))
        return;
    creator->SetGUID(object.iid ? *object.iid : GUID_NULL);
    LPOLESTR progId = nullptr;
    if (object.coclass && SUCCEEDED(ProgIDFromCLSID(*object.coclass, &progId)))
        creator->SetSource(progId);
    else
        creator->SetSource(const_cast<LPOLESTR>(object.source));
    CoTaskMemFree(progId);
    std::wstring description = FailureDescription(object.name, member, failure);
    creator->SetDescription(description.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        SetErrorInfo(0, info);
        info->Release();
    }
    creator->Release();
}

}  // namespace

bool Arm(std::wstring_view member, const Injection& injection) {
    return Registry::Process().Arm(member, injection);
}

void DisarmAll() {
    Registry::Process().DisarmAll();
}

std::vector<ArmedInjection> Armed() {
    return Registry::Process().Armed();
}

std::vector<MemberCalls> Census() {
    return Registry::Process().Census();
}

void ClearCensus() {
    Registry::Process().ClearCensus();
}

// Nothing that owns memory may be alive in this frame when the fault is
// raised: a guard that handles it abandons the frame without destructors.
HRESULT EnterMember(std::wstring_view object, std::wstring_view member) {
    if (worldsOwnCallDepth > 0)
        return S_OK;
    const Decision decision = Registry::Process().Enter(CalledName(object, member), member);
    if (decision.fault)
        RaiseHardwareFault();
    return decision.result;
}

HRESULT EnterComMember(const ComObject& object, std::wstring_view member) {
    const HRESULT result = EnterMember(object.name, member);
    if (FAILED(result))
        SetFailureInfo(object, member, result);
    return result;
}

std::wstring FailureDescription(std::wstring_view object, std::wstring_view member,
                                HRESULT failure) {
    wchar_t code[16];
    std::swprintf(code, std::size(code), L"0x%08X", static_cast<unsigned>(failure));
    std::wstring text(object);
    text += L'.';
    text += member;
    text += L" failed with ";
    text += code;
    text += L": the call was made to fail.";
    return text;
}

WorldsOwnCalls::WorldsOwnCalls() {
    ++worldsOwnCallDepth;
}

WorldsOwnCalls::~WorldsOwnCalls() {
    --worldsOwnCallDepth;
}

// The address comes through a volatile so that the compiler cannot see the
// write is bound to fault.
namespace {
volatile ULONG_PTR unmappedAddress = 0x10;
}

__attribute__((noinline, no_sanitize("address"))) void RaiseHardwareFault() {
    *reinterpret_cast<volatile int*>(unmappedAddress) = 1;
}

}  // namespace platform::calls
