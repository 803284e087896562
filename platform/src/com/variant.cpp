// VARIANT lifetime: initialising, clearing (which frees what the VARIANT
// owns) and copying (which duplicates it).
#include "variant_types.h"

namespace platform::com {

bool IsVariantBaseType(VARTYPE base) {
    return (base <= VT_UINT && base != 15) || base == VT_RECORD;
}

bool IsValidVariantType(VARTYPE vt) {
    if (vt & ~(VT_ARRAY | VT_BYREF | VT_TYPEMASK))
        return false;
    const VARTYPE base = vt & VT_TYPEMASK;
    if (!IsVariantBaseType(base))
        return false;
    if (base == VT_VARIANT)
        return (vt & (VT_BYREF | VT_ARRAY)) != 0;
    if (vt & VT_ARRAY)
        return base != VT_EMPTY && base != VT_NULL;
    if (vt & VT_BYREF)
        return base != VT_EMPTY && base != VT_NULL;
    return true;
}

// What VariantClear accepts: the value types, VT_VARIANT by value too (it
// holds nothing to free), and VT_CLSID.
static bool IsClearableVariantType(VARTYPE vt) {
    const VARTYPE base = vt & VT_TYPEMASK;
    if (base == VT_VARIANT || base == VT_CLSID)
        return (vt & ~(VT_ARRAY | VT_BYREF | VT_TYPEMASK)) == 0;
    return IsValidVariantType(vt);
}

// What VariantCopy copies: what VariantClear accepts but VT_CLSID.
static bool IsCopyableVariantType(VARTYPE vt) {
    return IsClearableVariantType(vt) && (vt & VT_TYPEMASK) != VT_CLSID;
}

BSTR DuplicateBstr(BSTR source) {
    if (source == nullptr)
        return nullptr;
    return SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
}

ULONG ValueSize(VARTYPE base) {
    switch (base) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
            return 8;
        case VT_BSTR:
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return sizeof(void*);
        case VT_DECIMAL:
            return sizeof(DECIMAL);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

}  // namespace platform::com

using platform::com::DuplicateBstr;
using platform::com::IsClearableVariantType;
using platform::com::IsCopyableVariantType;
using platform::com::IsValidVariantType;

namespace {

// Copies the owned part of `src` (already bitwise copied into `dest`).
HRESULT DuplicateOwned(VARIANT* dest, const VARIANT* src) {
    if (src->vt & VT_BYREF)
        return S_OK;  // references are shared, not owned
    if (src->vt & VT_ARRAY)
        return SafeArrayCopy(src->parray, &dest->parray);
    switch (src->vt) {
        case VT_BSTR:
            dest->bstrVal = DuplicateBstr(src->bstrVal);
            return (src->bstrVal != nullptr && dest->bstrVal == nullptr) ? E_OUTOFMEMORY : S_OK;
        case VT_UNKNOWN:
        case VT_DISPATCH:
            if (src->punkVal != nullptr)
                src->punkVal->AddRef();
            return S_OK;
        case VT_RECORD:
            return E_NOTIMPL;  // records need IRecordInfo, which is not offered
        default:
            return S_OK;
    }
}

}  // namespace

extern "C" void WINAPI VariantInit(VARIANTARG* pvarg) {
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

extern "C" HRESULT WINAPI VariantClear(VARIANTARG* pvarg) {
    if (pvarg == nullptr)
        return E_INVALIDARG;
    if (!IsClearableVariantType(pvarg->vt))
        return DISP_E_BADVARTYPE;
    if (!(pvarg->vt & VT_BYREF)) {
        if (pvarg->vt & VT_ARRAY) {
            const HRESULT hr = SafeArrayDestroy(pvarg->parray);
            if (FAILED(hr))
                return hr;  // a locked array stays in place
        } else if (pvarg->vt == VT_BSTR) {
            SysFreeString(pvarg->bstrVal);
        } else if (pvarg->vt == VT_UNKNOWN || pvarg->vt == VT_DISPATCH) {
            if (pvarg->punkVal != nullptr)
                pvarg->punkVal->Release();
        }
    }
    VariantInit(pvarg);
    return S_OK;
}

extern "C" HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
    if (pvargDest == nullptr || pvargSrc == nullptr)
        return E_INVALIDARG;
    if (!IsCopyableVariantType(pvargSrc->vt))
        return DISP_E_BADVARTYPE;
    if (pvargDest == pvargSrc)
        return S_OK;
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr))
        return hr;
    VARIANT copy = *pvargSrc;
    hr = DuplicateOwned(&copy, pvargSrc);
    if (FAILED(hr))
        return hr;
    *pvargDest = copy;
    return S_OK;
}

// Copies what a by-reference VARIANT points at, so the result owns its value.
extern "C" HRESULT WINAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
    if (pvarDest == nullptr || pvargSrc == nullptr)
        return E_INVALIDARG;
    if (!(pvargSrc->vt & VT_BYREF))
        return VariantCopy(pvarDest, pvargSrc);
    if (!IsValidVariantType(pvargSrc->vt))
        return DISP_E_BADVARTYPE;
    const VARTYPE target = pvargSrc->vt & ~VT_BYREF;
    if (target == VT_VARIANT)
        return VariantCopyInd(pvarDest, pvargSrc->pvarVal);
    if (target == VT_RECORD)
        return E_NOTIMPL;  // records need IRecordInfo, not offered
    VARIANT direct;
    VariantInit(&direct);
    if (target & VT_ARRAY) {
        direct.parray = *pvargSrc->pparray;
    } else if (target == VT_DECIMAL) {
        direct.decVal = *pvargSrc->pdecVal;  // decVal overlays vt, set below
    } else {
        __builtin_memcpy(&direct.llVal, pvargSrc->byref, platform::com::ValueSize(target));
    }
    direct.vt = target;
    if (pvarDest == pvargSrc) {
        // In place: the reference is replaced by a copy of what it named.
        VARIANT owned = direct;
        const HRESULT hr = DuplicateOwned(&owned, &direct);
        if (SUCCEEDED(hr))
            *pvarDest = owned;
        return hr;
    }
    return VariantCopy(pvarDest, &direct);
}
