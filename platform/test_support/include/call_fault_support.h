// For tests of calls into the world made to fail or to crash: arming a
// failure, the census's names, the error a caller raises as #import wrappers
// do, and faults caught as the add-in's entry guards catch them.
#pragma once

#include <comdef.h>
#include <platform/call_faults.h>
#include <platform/seh.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

inline void ArmFailure(const wchar_t* member, HRESULT failure, std::optional<unsigned> times = 1) {
    platform::calls::Injection injection;
    injection.failure = failure;
    injection.times = times;
    ASSERT_TRUE(platform::calls::Arm(member, injection));
}

// The members called so far, in the order of their first calls.
inline std::vector<std::wstring> CensusNames() {
    std::vector<std::wstring> names;
    for (const auto& member : platform::calls::Census())
        names.push_back(member.member);
    return names;
}

// The error a caller of `object`'s interface `iid` raises for `hr`: with the
// thread's error information when the object vouches for it.
inline _com_error RaisedFor(HRESULT hr, IUnknown* object, REFIID iid) {
    try {
        _com_issue_errorex(hr, object, iid);
    } catch (const _com_error& error) {
        return error;
    }
    return _com_error(S_OK);
}

// Whether `call` raised an access violation, caught by a guard as the add-in's
// entry guards catch one.
template <class Call>
bool Faults(Call&& call) {
    DWORD code = 0;
    const bool faulted = platform::seh::Guarded(
        [&](EXCEPTION_POINTERS* pointers) {
            code = pointers->ExceptionRecord->ExceptionCode;
            return LONG{EXCEPTION_EXECUTE_HANDLER};
        },
        call);
    return faulted && code == EXCEPTION_ACCESS_VIOLATION;
}
