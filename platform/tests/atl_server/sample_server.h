// The sample in-process server that the ATL tests load: its identifiers, its
// interface, its type library text and its exports.
#pragma once

#include <oaidl.h>

namespace sample {

struct ISample : public IDispatch {
    // Fails with error information set through the co-class's Error.
    virtual HRESULT STDMETHODCALLTYPE Fail() = 0;
    // Queries the aggregating object through the controlling unknown.
    virtual HRESULT STDMETHODCALLTYPE Outer(IUnknown** ppOuter) = 0;
};
BV_DECLARE_UUID(ISample, "6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A11")

struct Sample;
BV_DECLARE_UUID(Sample, "6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A12")

struct SampleLib;
BV_DECLARE_UUID(SampleLib, "6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A13")

inline constexpr const wchar_t* kAppId = L"{6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A14}";

inline constexpr const char kTypeLibrary[] = R"(
// The sample server's library.
[
    uuid(6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A13),
    version(1.0),
    helpstring("Sample 1.0 Type Library")
]
library SampleLib
{
    importlib("stdole2.tlb");

    [
        object,
        uuid(6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A11),
        dual,
        nonextensible,
        helpstring("ISample Interface"),
        pointer_default(unique)
    ]
    interface ISample : IDispatch
    {
    };

    [
        uuid(6B1E3C2A-9D4F-4E8B-A1C7-3F5D2E9B0A12),
        helpstring("Sample Class")
    ]
    coclass Sample
    {
        [default] interface ISample;
    };
};
)";

}  // namespace sample

// Objects of the class alive now, and FinalConstruct/FinalRelease runs.
extern "C" LONG SampleLiveObjects();
extern "C" LONG SampleFinalReleases();
