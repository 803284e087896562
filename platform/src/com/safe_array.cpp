// Safe arrays: a descriptor with bounds, a lock count and the element data.
// Elements are laid out column-major (the first index varies fastest). The
// element type lives in the four bytes before the descriptor, as Windows
// keeps it, so SafeArrayGetVartype can answer.
#include "variant_types.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kPrefixBytes = 16;
constexpr ULONG kMaxLocks = 0xFFFF;

// The types a safe array may hold; 0 for the rest.
ULONG ElementSize(VARTYPE vt) {
    if (vt == VT_EMPTY || vt == VT_NULL || vt == VT_RECORD)
        return 0;
    return platform::com::ValueSize(vt);
}

USHORT FeaturesFor(VARTYPE vt) {
    switch (vt) {
        case VT_BSTR:
            return FADF_HAVEVARTYPE | FADF_BSTR;
        case VT_UNKNOWN:
            return FADF_HAVEVARTYPE | FADF_UNKNOWN;
        case VT_DISPATCH:
            return FADF_HAVEVARTYPE | FADF_DISPATCH;
        case VT_VARIANT:
            return FADF_HAVEVARTYPE | FADF_VARIANT;
        default:
            return FADF_HAVEVARTYPE;
    }
}

char* PrefixOf(SAFEARRAY* psa) {
    return reinterpret_cast<char*>(psa) - kPrefixBytes;
}

VARTYPE StoredVartype(SAFEARRAY* psa) {
    DWORD vt;
    std::memcpy(&vt, reinterpret_cast<char*>(psa) - sizeof vt, sizeof vt);
    return static_cast<VARTYPE>(vt);
}

// The bound of dimension `index` counted from the left (0-based), i.e. in
// the order SafeArrayCreate was given them.
const SAFEARRAYBOUND& BoundFromLeft(const SAFEARRAY* psa, UINT index) {
    return psa->rgsabound[psa->cDims - 1 - index];
}

// The bound of dimension nDim (1 = leftmost), checking the arguments.
HRESULT FindBound(const SAFEARRAY* psa, UINT nDim, const LONG* out, const SAFEARRAYBOUND** bound) {
    if (psa == nullptr || out == nullptr)
        return E_INVALIDARG;
    if (nDim < 1 || nDim > psa->cDims)
        return DISP_E_BADINDEX;
    *bound = &BoundFromLeft(psa, nDim - 1);
    return S_OK;
}

// Number of elements; false when it does not fit memory.
bool CountElements(const SAFEARRAY* psa, size_t* count) {
    size_t total = 1;
    for (UINT d = 0; d < psa->cDims; ++d) {
        if (__builtin_mul_overflow(total, static_cast<size_t>(psa->rgsabound[d].cElements), &total))
            return false;
    }
    *count = total;
    return true;
}

size_t TotalElements(const SAFEARRAY* psa) {
    size_t count = 0;
    CountElements(psa, &count);
    return count;
}

// The element's offset in elements, or false when an index lies outside
// its dimension.
bool OffsetOf(const SAFEARRAY* psa, const LONG* indices, size_t* offset) {
    size_t result = 0;
    size_t stride = 1;
    for (UINT d = 0; d < psa->cDims; ++d) {
        const SAFEARRAYBOUND& bound = BoundFromLeft(psa, d);
        const int64_t relative = int64_t{indices[d]} - bound.lLbound;
        if (relative < 0 || relative >= int64_t{bound.cElements})
            return false;
        result += static_cast<size_t>(relative) * stride;
        stride *= bound.cElements;
    }
    *offset = result;
    return true;
}

void* ElementAt(SAFEARRAY* psa, size_t offset) {
    return static_cast<char*>(psa->pvData) + offset * psa->cbElements;
}

void ReleaseElement(VARTYPE vt, void* element) {
    switch (vt) {
        case VT_BSTR:
            SysFreeString(*static_cast<BSTR*>(element));
            break;
        case VT_UNKNOWN:
        case VT_DISPATCH:
            if (auto* unknown = *static_cast<IUnknown**>(element))
                unknown->Release();
            break;
        case VT_VARIANT:
            VariantClear(static_cast<VARIANT*>(element));
            break;
        default:
            break;
    }
}

// Copies `source` into the uninitialised element `target` the way each type
// wants: strings deeply, interfaces with a new reference, variants through
// VariantCopy.
HRESULT CopyElementInto(VARTYPE vt, void* target, const void* source, ULONG size) {
    switch (vt) {
        case VT_BSTR: {
            BSTR text = *static_cast<const BSTR*>(source);
            BSTR copy = platform::com::DuplicateBstr(text);
            if (text != nullptr && copy == nullptr)
                return E_OUTOFMEMORY;
            *static_cast<BSTR*>(target) = copy;
            return S_OK;
        }
        case VT_UNKNOWN:
        case VT_DISPATCH: {
            IUnknown* unknown = *static_cast<IUnknown* const*>(source);
            if (unknown != nullptr)
                unknown->AddRef();
            *static_cast<IUnknown**>(target) = unknown;
            return S_OK;
        }
        case VT_VARIANT:
            VariantInit(static_cast<VARIANT*>(target));
            return VariantCopy(static_cast<VARIANT*>(target), static_cast<const VARIANT*>(source));
        default:
            std::memcpy(target, source, size);
            return S_OK;
    }
}

void DestroyElements(SAFEARRAY* psa) {
    if (psa->pvData == nullptr)
        return;
    const VARTYPE vt = StoredVartype(psa);
    const size_t count = TotalElements(psa);
    for (size_t i = 0; i < count; ++i)
        ReleaseElement(vt, ElementAt(psa, i));
}

// Allocates the descriptor, its bounds (reversed) and zeroed data, so
// strings and interfaces start null and variants start empty.
SAFEARRAY* Allocate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* bounds) {
    const ULONG size = ElementSize(vt);
    if (size == 0 || cDims == 0 || cDims > 0xFFFF || bounds == nullptr)
        return nullptr;
    const size_t descriptorBytes = sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
    char* block = static_cast<char*>(std::calloc(1, kPrefixBytes + descriptorBytes));
    if (block == nullptr)
        return nullptr;
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + kPrefixBytes);
    const DWORD storedVt = vt;
    std::memcpy(block + kPrefixBytes - sizeof storedVt, &storedVt, sizeof storedVt);
    psa->cDims = static_cast<USHORT>(cDims);
    psa->fFeatures = FeaturesFor(vt);
    psa->cbElements = size;
    for (UINT d = 0; d < cDims; ++d)
        psa->rgsabound[cDims - 1 - d] = bounds[d];
    size_t count = 0;
    size_t bytes = 0;
    if (!CountElements(psa, &count) || __builtin_mul_overflow(count, size_t{size}, &bytes)) {
        std::free(block);
        return nullptr;
    }
    if (bytes > 0) {
        psa->pvData = std::calloc(1, bytes);
        if (psa->pvData == nullptr) {
            std::free(block);
            return nullptr;
        }
    }
    return psa;
}

// Runs `action` on the element at `indices` with the array locked.
template <class Action>
HRESULT WithElement(SAFEARRAY* psa, LONG* rgIndices, Action action) {
    if (psa == nullptr || rgIndices == nullptr)
        return E_INVALIDARG;
    size_t offset = 0;
    if (!OffsetOf(psa, rgIndices, &offset))
        return DISP_E_BADINDEX;
    HRESULT hr = SafeArrayLock(psa);
    if (FAILED(hr))
        return hr;
    hr = action(StoredVartype(psa), ElementAt(psa, offset));
    SafeArrayUnlock(psa);
    return hr;
}

}  // namespace

extern "C" SAFEARRAY* WINAPI SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    return Allocate(vt, cDims, rgsabound);
}

extern "C" SAFEARRAY* WINAPI SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    const SAFEARRAYBOUND bound{cElements, lLbound};
    return Allocate(vt, 1, &bound);
}

extern "C" HRESULT WINAPI SafeArrayDestroy(SAFEARRAY* psa) {
    if (psa == nullptr)
        return S_OK;
    if (psa->cLocks > 0)
        return DISP_E_ARRAYISLOCKED;
    DestroyElements(psa);
    std::free(psa->pvData);
    std::free(PrefixOf(psa));
    return S_OK;
}

extern "C" HRESULT WINAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (ppsaOut == nullptr)
        return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (psa == nullptr)
        return S_OK;
    const VARTYPE vt = StoredVartype(psa);
    std::vector<SAFEARRAYBOUND> bounds(psa->cDims);
    for (UINT d = 0; d < psa->cDims; ++d)
        bounds[d] = BoundFromLeft(psa, d);
    SAFEARRAY* copy = Allocate(vt, psa->cDims, bounds.data());
    if (copy == nullptr)
        return E_OUTOFMEMORY;
    const size_t count = TotalElements(psa);
    for (size_t i = 0; i < count; ++i) {
        const HRESULT hr =
            CopyElementInto(vt, ElementAt(copy, i), ElementAt(psa, i), psa->cbElements);
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}

extern "C" UINT WINAPI SafeArrayGetDim(SAFEARRAY* psa) {
    return psa != nullptr ? psa->cDims : 0;
}

extern "C" UINT WINAPI SafeArrayGetElemsize(SAFEARRAY* psa) {
    return psa != nullptr ? psa->cbElements : 0;
}

extern "C" HRESULT WINAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (psa == nullptr || pvt == nullptr)
        return E_INVALIDARG;
    *pvt = StoredVartype(psa);
    return S_OK;
}

extern "C" HRESULT WINAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    const SAFEARRAYBOUND* bound = nullptr;
    const HRESULT hr = FindBound(psa, nDim, plLbound, &bound);
    if (SUCCEEDED(hr))
        *plLbound = bound->lLbound;
    return hr;
}

extern "C" HRESULT WINAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    const SAFEARRAYBOUND* bound = nullptr;
    const HRESULT hr = FindBound(psa, nDim, plUbound, &bound);
    if (SUCCEEDED(hr))
        *plUbound = static_cast<LONG>(int64_t{bound->lLbound} + bound->cElements - 1);
    return hr;
}

extern "C" HRESULT WINAPI SafeArrayLock(SAFEARRAY* psa) {
    if (psa == nullptr)
        return E_INVALIDARG;
    if (psa->cLocks >= kMaxLocks)
        return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

extern "C" HRESULT WINAPI SafeArrayUnlock(SAFEARRAY* psa) {
    if (psa == nullptr)
        return E_INVALIDARG;
    if (psa->cLocks == 0)
        return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

extern "C" HRESULT WINAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (psa == nullptr || ppvData == nullptr)
        return E_INVALIDARG;
    const HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

extern "C" HRESULT WINAPI SafeArrayUnaccessData(SAFEARRAY* psa) {
    return SafeArrayUnlock(psa);
}

extern "C" HRESULT WINAPI SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
    if (psa == nullptr || rgIndices == nullptr || ppvData == nullptr)
        return E_INVALIDARG;
    size_t offset = 0;
    if (!OffsetOf(psa, rgIndices, &offset))
        return DISP_E_BADINDEX;
    *ppvData = ElementAt(psa, offset);
    return S_OK;
}

// Strings and variants are copied out, interfaces come with a reference the
// caller releases.
extern "C" HRESULT WINAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (pv == nullptr)
        return E_INVALIDARG;
    return WithElement(psa, rgIndices, [&](VARTYPE vt, void* element) {
        return CopyElementInto(vt, pv, element, psa->cbElements);
    });
}

// For strings and interfaces `pv` is the BSTR or interface pointer itself,
// for every other type a pointer to the value.
extern "C" HRESULT WINAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    return WithElement(psa, rgIndices, [&](VARTYPE vt, void* element) {
        const bool byValue = vt == VT_BSTR || vt == VT_UNKNOWN || vt == VT_DISPATCH;
        if (!byValue && pv == nullptr)
            return E_INVALIDARG;
        const void* source = byValue ? static_cast<const void*>(&pv) : pv;
        if (vt == VT_VARIANT)
            return VariantCopy(static_cast<VARIANT*>(element), static_cast<const VARIANT*>(source));
        // Build the new value first, so a failed copy leaves the old one.
        alignas(16) unsigned char fresh[sizeof(DECIMAL)];
        const HRESULT hr = CopyElementInto(vt, fresh, source, psa->cbElements);
        if (FAILED(hr))
            return hr;
        ReleaseElement(vt, element);
        std::memcpy(element, fresh, psa->cbElements);
        return S_OK;
    });
}
