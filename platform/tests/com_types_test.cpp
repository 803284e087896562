#include <windows.h>
#include <objbase.h>
#include <comdef.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// A COM object whose references the tests count. It lives on the test's
// stack, so its last Release does not delete it.
class CountedObject final : public IDispatch, public ISupportErrorInfo {
  public:
    LONG references = 1;
    bool offersSupportErrorInfo = true;
    IID interfaceWithErrorInfo = GUID_NULL;
    HRESULT otherInterfaceResult = E_NOINTERFACE;
    LONG valueProperty = 42;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *ppv = static_cast<IDispatch*>(this);
        } else if (riid == IID_ISupportErrorInfo && offersSupportErrorInfo) {
            *ppv = static_cast<ISupportErrorInfo*>(this);
        } else {
            return otherInterfaceResult;
        }
        ++references;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;
        result->vt = VT_I4;
        result->lVal = valueProperty;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == interfaceWithErrorInfo ? S_OK : S_FALSE;
    }
};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[CHARS_IN_GUID];
    EXPECT_EQ(StringFromGUID2(guid, text, CHARS_IN_GUID), CHARS_IN_GUID);
    return text;
}

UINT StoredPrefix(BSTR bstr) {
    UINT prefix;
    std::memcpy(&prefix, reinterpret_cast<char*>(bstr) - sizeof prefix, sizeof prefix);
    return prefix;
}

}  // namespace

namespace widgets {
// An interface declared the way other headers declare theirs, in a
// namespace of its own.
struct IWidget : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Spin() = 0;
};
BV_DECLARE_UUID(IWidget, "6f1a2b3c-4d5e-4f60-8172-8394a5b6c7d8")
_COM_SMARTPTR_TYPEDEF(IWidget, __uuidof(IWidget));
}  // namespace widgets

// --- Identifiers ------------------------------------------------------------

TEST(ComTypesGuid, StandardIdentifiersHaveTheirWindowsValues) {
    EXPECT_EQ(GuidText(IID_IUnknown), L"{00000000-0000-0000-C000-000000000046}");
    EXPECT_EQ(GuidText(IID_IDispatch), L"{00020400-0000-0000-C000-000000000046}");
    EXPECT_EQ(GuidText(IID_IErrorInfo), L"{1CF2B120-547D-101B-8E65-08002B2BD119}");
    EXPECT_EQ(GuidText(IID_ISupportErrorInfo), L"{DF0B3D60-548F-101B-8E65-08002B2BD119}");
    EXPECT_EQ(GuidText(IID_IConnectionPointContainer), L"{B196B284-BAB4-101A-B69C-00AA00341D07}");
    EXPECT_EQ(GuidText(__uuidof(widgets::IWidget)), L"{6F1A2B3C-4D5E-4F60-8172-8394A5B6C7D8}");
    EXPECT_EQ(&__uuidof(widgets::IWidget*), &__uuidof(widgets::IWidget));
    EXPECT_EQ(widgets::IWidgetPtr::GetIID(), __uuidof(widgets::IWidget));
}

TEST(ComTypesGuid, TextRoundTripsAndShortBuffersFail) {
    const GUID original = __uuidof(widgets::IWidget);
    wchar_t text[CHARS_IN_GUID];
    EXPECT_EQ(StringFromGUID2(original, text, CHARS_IN_GUID - 1), 0);
    ASSERT_EQ(StringFromGUID2(original, text, CHARS_IN_GUID), 39);
    CLSID parsed{};
    EXPECT_EQ(CLSIDFromString(text, &parsed), S_OK);
    EXPECT_EQ(parsed, original);
    IID lower{};
    EXPECT_EQ(IIDFromString(L"{6f1a2b3c-4d5e-4f60-8172-8394a5b6c7d8}", &lower), S_OK);
    EXPECT_EQ(lower, original);

    LPOLESTR allocated = nullptr;
    ASSERT_EQ(StringFromCLSID(original, &allocated), S_OK);
    EXPECT_STREQ(allocated, text);
    CoTaskMemFree(allocated);

    EXPECT_EQ(CLSIDFromString(nullptr, &parsed), S_OK);
    EXPECT_EQ(parsed, GUID_NULL);
}

TEST(ComTypesGuid, MalformedTextIsRefused) {
    const wchar_t* malformed[] = {
        L"00020400-0000-0000-C000-000000000046",     // no braces
        L"{00020400-0000-0000-C000-00000000004}",    // one digit short
        L"{00020400-0000-0000-C000-0000000000467}",  // one digit long
        L"{00020400-0000-0000-C000-000000000046}x",  // trailing text
        L"{0002040G-0000-0000-C000-000000000046}",   // not hexadecimal
        L"{00020400+0000-0000-C000-000000000046}",   // wrong separator
        L"BVOL0000.Connect",                         // a ProgID, unknown here
        L"",
    };
    for (const wchar_t* text : malformed) {
        CLSID clsid = IID_IDispatch;
        EXPECT_EQ(CLSIDFromString(text, &clsid), CO_E_CLASSSTRING) << text;
        EXPECT_EQ(clsid, CLSID_NULL) << text;
        IID iid;
        EXPECT_EQ(IIDFromString(text, &iid), E_INVALIDARG) << text;
    }
}

// --- BSTR -------------------------------------------------------------------

TEST(ComTypesBstr, PrefixHoldsByteLengthAndTextIsTerminated) {
    const wchar_t withNull[] = {L'a', L'\0', L'b'};
    BSTR bstr = SysAllocStringLen(withNull, 3);
    ASSERT_NE(bstr, nullptr);
    EXPECT_EQ(StoredPrefix(bstr), 3 * sizeof(OLECHAR));
    EXPECT_EQ(SysStringLen(bstr), 3u);
    EXPECT_EQ(SysStringByteLen(bstr), 3 * sizeof(OLECHAR));
    EXPECT_EQ(bstr[1], L'\0');
    EXPECT_EQ(bstr[2], L'b');
    EXPECT_EQ(bstr[3], L'\0');
    SysFreeString(bstr);

    BSTR blank = SysAllocStringLen(nullptr, 4);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(SysStringLen(blank), 4u);
    EXPECT_EQ(blank[4], L'\0');
    SysFreeString(blank);

    BSTR empty = SysAllocString(L"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    SysFreeString(empty);
}

TEST(ComTypesBstr, ByteLengthStringsKeepOddLengths) {
    BSTR bytes = SysAllocStringByteLen("abcde", 5);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(SysStringByteLen(bytes), 5u);
    EXPECT_EQ(SysStringLen(bytes), 5 / sizeof(OLECHAR));
    EXPECT_EQ(std::memcmp(bytes, "abcde", 5), 0);
    for (size_t i = 0; i < sizeof(OLECHAR); ++i)
        EXPECT_EQ(reinterpret_cast<char*>(bytes)[5 + i], '\0');
    SysFreeString(bytes);
}

TEST(ComTypesBstr, NullStringsAreEmptyAndReallocationMayReuseTheOldText) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);

    BSTR bstr = SysAllocString(L"hello world");
    ASSERT_TRUE(SysReAllocString(&bstr, bstr + 6));
    EXPECT_STREQ(bstr, L"world");
    EXPECT_EQ(SysStringLen(bstr), 5u);
    ASSERT_TRUE(SysReAllocStringLen(&bstr, L"xy", 1));
    EXPECT_STREQ(bstr, L"x");
    SysFreeString(bstr);
}

// --- VARIANT lifetime ---------------------------------------------------------

TEST(ComTypesVariant, ClearReleasesOnceAndCopyAddsOneReference) {
    CountedObject object;
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_DISPATCH;
    source.pdispVal = &object;
    object.AddRef();  // the VARIANT's reference

    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_EQ(object.references, 3);
    EXPECT_EQ(copy.pdispVal, &object);

    EXPECT_EQ(VariantClear(&copy), S_OK);
    EXPECT_EQ(copy.vt, VT_EMPTY);
    EXPECT_EQ(object.references, 2);
    EXPECT_EQ(VariantClear(&copy), S_OK);  // clearing an empty VARIANT releases nothing
    EXPECT_EQ(VariantClear(&source), S_OK);
    EXPECT_EQ(object.references, 1);
}

TEST(ComTypesVariant, CopyDuplicatesStringsAndRefusesBadTypes) {
    const wchar_t text[] = {L'x', L'\0', L'y'};
    VARIANT source;
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocStringLen(text, 3);
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_NE(copy.bstrVal, source.bstrVal);
    EXPECT_EQ(SysStringLen(copy.bstrVal), 3u);
    EXPECT_EQ(std::memcmp(copy.bstrVal, text, sizeof text), 0);
    VariantClear(&source);
    VariantClear(&copy);

    VARIANT bad;
    VariantInit(&bad);
    bad.vt = VT_VOID;
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantCopy(&copy, &bad), DISP_E_BADVARTYPE);
    bad.vt = VT_VARIANT;  // only valid by reference
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
}

// --- Conversions --------------------------------------------------------------

namespace {

struct Converted {
    HRESULT hr;
    VARIANT value;
};

Converted Convert(const VARIANT& source, VARTYPE to, USHORT flags = 0) {
    Converted out{};
    VariantInit(&out.value);
    out.hr = VariantChangeType(&out.value, &source, flags, to);
    return out;
}

VARIANT MakeI4(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT MakeR8(double value, VARTYPE vt = VT_R8) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    v.dblVal = value;
    return v;
}

VARIANT MakeBool(bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

// Owns the BSTR it wraps, so the tests leak nothing.
struct StringVariant {
    explicit StringVariant(const wchar_t* text) {
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
    }
    ~StringVariant() { VariantClear(&v); }
    VARIANT v;
};

std::wstring ToText(const VARIANT& source, USHORT flags = 0) {
    Converted c = Convert(source, VT_BSTR, flags);
    EXPECT_EQ(c.hr, S_OK);
    std::wstring text =
        c.hr == S_OK ? std::wstring(c.value.bstrVal, SysStringLen(c.value.bstrVal)) : L"";
    VariantClear(&c.value);
    return text;
}

HRESULT ResultOf(const VARIANT& source, VARTYPE to) {
    Converted c = Convert(source, to);
    VariantClear(&c.value);
    return c.hr;
}

}  // namespace

TEST(ComTypesChangeType, NumbersAndText) {
    EXPECT_EQ(ToText(MakeI4(-123)), L"-123");
    EXPECT_EQ(ToText(MakeR8(2.5)), L"2.5");
    EXPECT_EQ(ToText(MakeR8(0.1)), L"0.1");
    EXPECT_EQ(ToText(MakeR8(1.0 / 3)), L"0.333333333333333");
    EXPECT_EQ(ToText(MakeR8(1e20)), L"1E+20");

    StringVariant spaced(L"  1,234 ");
    Converted c = Convert(spaced.v, VT_I4);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.lVal, 1234);

    StringVariant real(L"-12.5e1");
    c = Convert(real.v, VT_R8);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_DOUBLE_EQ(c.value.dblVal, -125.0);

    StringVariant word(L"twelve");
    EXPECT_EQ(ResultOf(word.v, VT_I4), DISP_E_TYPEMISMATCH);
    StringVariant empty(L"");
    EXPECT_EQ(ResultOf(empty.v, VT_I4), DISP_E_TYPEMISMATCH);
    StringVariant huge(L"3000000000");
    EXPECT_EQ(ResultOf(huge.v, VT_I4), DISP_E_OVERFLOW);
    c = Convert(huge.v, VT_R8);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.dblVal, 3e9);
    StringVariant beyondDouble(L"1e400");
    EXPECT_EQ(ResultOf(beyondDouble.v, VT_R8), DISP_E_OVERFLOW);
    StringVariant beyondAnything(L"1e99999");
    EXPECT_EQ(ResultOf(beyondAnything.v, VT_R8), DISP_E_OVERFLOW);
    StringVariant tiny(L"0.0001e-99999");
    c = Convert(tiny.v, VT_R8);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.dblVal, 0.0);
}

TEST(ComTypesChangeType, IntegersRoundHalfToEvenAndCheckTheirRange) {
    const struct {
        double from;
        LONG to;
    } rounding[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {2.4999, 2}, {-0.5, 0}};
    for (const auto& r : rounding) {
        Converted c = Convert(MakeR8(r.from), VT_I4);
        EXPECT_EQ(c.hr, S_OK) << r.from;
        EXPECT_EQ(c.value.lVal, r.to) << r.from;
    }
    EXPECT_EQ(ResultOf(MakeR8(2147483647.5), VT_I4), DISP_E_OVERFLOW);
    EXPECT_EQ(ResultOf(MakeR8(-2147483648.0), VT_I4), S_OK);
    EXPECT_EQ(ResultOf(MakeI4(256), VT_UI1), DISP_E_OVERFLOW);
    EXPECT_EQ(ResultOf(MakeI4(-1), VT_UI4), DISP_E_OVERFLOW);
    EXPECT_EQ(ResultOf(MakeI4(32768), VT_I2), DISP_E_OVERFLOW);
    EXPECT_EQ(ResultOf(MakeR8(1e300), VT_R4), DISP_E_OVERFLOW);
}

TEST(ComTypesChangeType, BooleansAreMinusOneOrZero) {
    Converted c = Convert(MakeBool(true), VT_I4);
    EXPECT_EQ(c.value.lVal, -1);
    c = Convert(MakeBool(true), VT_UI1);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.bVal, 255);
    c = Convert(MakeI4(7), VT_BOOL);
    EXPECT_EQ(c.value.boolVal, VARIANT_TRUE);
    c = Convert(MakeI4(0), VT_BOOL);
    EXPECT_EQ(c.value.boolVal, VARIANT_FALSE);

    EXPECT_EQ(ToText(MakeBool(true)), L"-1");
    EXPECT_EQ(ToText(MakeBool(false)), L"0");
    EXPECT_EQ(ToText(MakeBool(true), VARIANT_ALPHABOOL), L"True");

    StringVariant word(L" tRUe ");
    c = Convert(word.v, VT_BOOL);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.boolVal, VARIANT_TRUE);
    StringVariant number(L"0");
    c = Convert(number.v, VT_BOOL);
    EXPECT_EQ(c.value.boolVal, VARIANT_FALSE);
    StringVariant neither(L"yes");
    EXPECT_EQ(ResultOf(neither.v, VT_BOOL), DISP_E_TYPEMISMATCH);
}

TEST(ComTypesChangeType, DatesAsTextAndNumbers) {
    // 4 March 2007, 9:05:04 in the morning.
    const DATE morning = 39145.0 + (9 * 3600 + 5 * 60 + 4) / 86400.0;
    EXPECT_EQ(ToText(MakeR8(morning, VT_DATE)), L"3/4/2007 9:05:04 AM");
    EXPECT_EQ(ToText(MakeR8(39145.75, VT_DATE)), L"3/4/2007 6:00:00 PM");
    EXPECT_EQ(ToText(MakeR8(39145.0, VT_DATE)), L"3/4/2007");
    EXPECT_EQ(ToText(MakeR8(0.5, VT_DATE)), L"12:00:00 PM");
    EXPECT_EQ(ToText(MakeR8(0.0, VT_DATE)), L"12:00:00 AM");
    EXPECT_EQ(ToText(MakeR8(-1.25, VT_DATE)), L"12/29/1899 6:00:00 AM");
    EXPECT_EQ(ToText(MakeR8(60.0, VT_DATE)), L"2/28/1900");
    EXPECT_EQ(ToText(MakeR8(61.0, VT_DATE)), L"3/1/1900");

    const struct {
        const wchar_t* text;
        DATE date;
    } parsed[] = {{L"3/4/2007 9:05:04 AM", morning},
                  {L"2007-03-04 09:05:04", morning},
                  {L"3/4/07", 39145.0},
                  {L"6:00 PM", 0.75},
                  {L"12/29/1899 06:00", -1.25}};
    for (const auto& p : parsed) {
        StringVariant text(p.text);
        Converted c = Convert(text.v, VT_DATE);
        ASSERT_EQ(c.hr, S_OK) << p.text;
        EXPECT_NEAR(c.value.date, p.date, 1e-9) << p.text;
    }
    for (const wchar_t* bad : {L"2/30/2007", L"13/1/2007", L"tomorrow", L"25:00"}) {
        StringVariant text(bad);
        EXPECT_EQ(ResultOf(text.v, VT_DATE), DISP_E_TYPEMISMATCH) << bad;
    }

    Converted c = Convert(MakeR8(morning, VT_DATE), VT_I4);
    EXPECT_EQ(c.value.lVal, 39145);
    c = Convert(MakeI4(39145), VT_DATE);
    EXPECT_EQ(c.value.date, 39145.0);
    EXPECT_EQ(ResultOf(MakeI4(3000000), VT_DATE), DISP_E_OVERFLOW);
    EXPECT_EQ(ResultOf(MakeR8(1e7), VT_DATE), DISP_E_OVERFLOW);
}

TEST(ComTypesChangeType, EmptyNullAndInvalidTypes) {
    VARIANT empty;
    VariantInit(&empty);
    Converted c = Convert(empty, VT_I4);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.lVal, 0);
    EXPECT_EQ(ToText(empty), L"");

    VARIANT null = empty;
    null.vt = VT_NULL;
    EXPECT_EQ(ResultOf(null, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ResultOf(null, VT_BSTR), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ResultOf(MakeI4(1), VT_DISPATCH), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ResultOf(MakeI4(1), VT_VOID), DISP_E_BADVARTYPE);
    EXPECT_EQ(ResultOf(MakeI4(1), 15), DISP_E_BADVARTYPE);
    VARIANT bad = MakeI4(1);
    bad.vt = 0x7F;
    EXPECT_EQ(ResultOf(bad, VT_I4), DISP_E_BADVARTYPE);
}

TEST(ComTypesChangeType, InPlaceByReferenceAndUnchangedOnFailure) {
    StringVariant text(L"17");
    ASSERT_EQ(VariantChangeType(&text.v, &text.v, 0, VT_I4), S_OK);
    EXPECT_EQ(text.v.vt, VT_I4);
    EXPECT_EQ(text.v.lVal, 17);

    StringVariant word(L"seventeen");
    EXPECT_EQ(VariantChangeType(&word.v, &word.v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(word.v.vt, VT_BSTR);
    EXPECT_STREQ(word.v.bstrVal, L"seventeen");

    LONG target = 99;
    VARIANT reference;
    VariantInit(&reference);
    reference.vt = VT_I4 | VT_BYREF;
    reference.plVal = &target;
    EXPECT_EQ(ToText(reference), L"99");
}

TEST(ComTypesChangeType, ObjectsGiveTheirValueProperty) {
    CountedObject object;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = &object;
    Converted c = Convert(v, VT_I4);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.lVal, 42);
    EXPECT_EQ(Convert(v, VT_I4, VARIANT_NOVALUEPROP).hr, DISP_E_TYPEMISMATCH);
    c = Convert(v, VT_UNKNOWN);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(object.references, 2);
    VariantClear(&c.value);
    EXPECT_EQ(object.references, 1);
}

// --- Safe arrays ----------------------------------------------------------------

TEST(ComTypesSafeArray, BoundsAreCheckedOnEveryAccess) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 5, 3);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(SafeArrayGetDim(array), 1u);
    LONG bound = 0;
    EXPECT_EQ(SafeArrayGetLBound(array, 1, &bound), S_OK);
    EXPECT_EQ(bound, 5);
    EXPECT_EQ(SafeArrayGetUBound(array, 1, &bound), S_OK);
    EXPECT_EQ(bound, 7);
    EXPECT_EQ(SafeArrayGetUBound(array, 2, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetLBound(array, 0, &bound), DISP_E_BADINDEX);

    for (LONG index = 5; index <= 7; ++index) {
        LONG value = index * 10;
        EXPECT_EQ(SafeArrayPutElement(array, &index, &value), S_OK);
    }
    for (LONG outside : {4, 8}) {
        LONG value = 0;
        EXPECT_EQ(SafeArrayPutElement(array, &outside, &value), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayGetElement(array, &outside, &value), DISP_E_BADINDEX);
    }
    LONG index = 6, value = 0;
    EXPECT_EQ(SafeArrayGetElement(array, &index, &value), S_OK);
    EXPECT_EQ(value, 60);
    EXPECT_EQ(array->cLocks, 0u);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

TEST(ComTypesSafeArray, LockedArraysCannotBeDestroyed) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 4);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
    ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
    EXPECT_EQ(array->cLocks, 2u);
    static_cast<BYTE*>(data)[3] = 0xAB;
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);

    VARIANT holder;
    VariantInit(&holder);
    holder.vt = VT_ARRAY | VT_UI1;
    holder.parray = array;
    EXPECT_EQ(VariantClear(&holder), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(holder.parray, array);

    EXPECT_EQ(SafeArrayUnaccessData(array), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(array), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(array), E_UNEXPECTED);
    LONG index = 3;
    BYTE value = 0;
    EXPECT_EQ(SafeArrayGetElement(array, &index, &value), S_OK);
    EXPECT_EQ(value, 0xAB);
    EXPECT_EQ(VariantClear(&holder), S_OK);
}

TEST(ComTypesSafeArray, StringAndVariantElementsAreCopiedInAndOut) {
    SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 2);
    BSTR text = SysAllocString(L"first");
    LONG index = 1;
    ASSERT_EQ(SafeArrayPutElement(strings, &index, text), S_OK);
    SysFreeString(text);  // the array keeps its own copy
    BSTR out = nullptr;
    ASSERT_EQ(SafeArrayGetElement(strings, &index, &out), S_OK);
    EXPECT_STREQ(out, L"first");
    SysFreeString(out);

    // A copy of the whole array is deep: destroying either leaves the other.
    VARIANT holder;
    VariantInit(&holder);
    holder.vt = VT_ARRAY | VT_BSTR;
    holder.parray = strings;
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &holder), S_OK);
    EXPECT_EQ(VariantClear(&holder), S_OK);
    ASSERT_EQ(SafeArrayGetElement(copy.parray, &index, &out), S_OK);
    EXPECT_STREQ(out, L"first");
    SysFreeString(out);
    VariantClear(&copy);

    CountedObject object;
    SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    VARIANT element;
    VariantInit(&element);
    element.vt = VT_DISPATCH;
    element.pdispVal = &object;
    index = 0;
    ASSERT_EQ(SafeArrayPutElement(variants, &index, &element), S_OK);
    EXPECT_EQ(object.references, 2);
    EXPECT_EQ(SafeArrayDestroy(variants), S_OK);
    EXPECT_EQ(object.references, 1);
}

TEST(ComTypesSafeArray, FirstIndexVariesFastestInMemory) {
    SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, 10}};  // rows 1..2, columns 10..12
    SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, bounds);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(SafeArrayGetDim(array), 2u);
    LONG bound = 0;
    SafeArrayGetLBound(array, 2, &bound);
    EXPECT_EQ(bound, 10);
    SafeArrayGetUBound(array, 1, &bound);
    EXPECT_EQ(bound, 2);
    LONG indices[2] = {2, 11};
    LONG value = 7;
    ASSERT_EQ(SafeArrayPutElement(array, indices, &value), S_OK);
    LONG* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, reinterpret_cast<void**>(&data)), S_OK);
    EXPECT_EQ(data[(2 - 1) + (11 - 10) * 2], 7);
    SafeArrayUnaccessData(array);
    EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, bounds), nullptr);
    SafeArrayDestroy(array);
}

// --- Error information --------------------------------------------------------

namespace {

ICreateErrorInfo* NewErrorInfo(const wchar_t* source, const wchar_t* description) {
    ICreateErrorInfo* info = nullptr;
    EXPECT_EQ(CreateErrorInfo(&info), S_OK);
    info->SetSource(const_cast<LPOLESTR>(source));
    info->SetDescription(const_cast<LPOLESTR>(description));
    return info;
}

IErrorInfo* AsErrorInfo(ICreateErrorInfo* create) {
    IErrorInfo* info = nullptr;
    EXPECT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    return info;
}

}  // namespace

TEST(ComTypesErrorInfo, ObjectKeepsWhatWasSet) {
    ICreateErrorInfo* create = NewErrorInfo(L"Outlook", L"The item was moved.");
    create->SetGUID(IID_IDispatch);
    create->SetHelpFile(const_cast<LPOLESTR>(L"help.chm"));
    create->SetHelpContext(77);
    IErrorInfo* info = AsErrorInfo(create);
    create->Release();

    BSTR text = nullptr;
    EXPECT_EQ(info->GetSource(&text), S_OK);
    EXPECT_STREQ(text, L"Outlook");
    SysFreeString(text);
    EXPECT_EQ(info->GetDescription(&text), S_OK);
    EXPECT_STREQ(text, L"The item was moved.");
    SysFreeString(text);
    GUID guid{};
    info->GetGUID(&guid);
    EXPECT_EQ(guid, IID_IDispatch);
    DWORD context = 0;
    info->GetHelpContext(&context);
    EXPECT_EQ(context, 77u);
    IUnknown* unknown = nullptr;
    EXPECT_EQ(info->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&unknown)),
              E_NOINTERFACE);
    EXPECT_EQ(unknown, nullptr);
    EXPECT_EQ(info->Release(), 0u);
}

TEST(ComTypesErrorInfo, GetHandsTheThreadsObjectOverOnce) {
    ICreateErrorInfo* create = NewErrorInfo(L"src", L"desc");
    IErrorInfo* info = AsErrorInfo(create);
    create->Release();
    ASSERT_EQ(SetErrorInfo(0, info), S_OK);
    EXPECT_EQ(info->Release(), 1u);  // only the thread's reference is left

    IErrorInfo* elsewhere = info;
    std::thread other([&] { EXPECT_EQ(GetErrorInfo(0, &elsewhere), S_FALSE); });
    other.join();
    EXPECT_EQ(elsewhere, nullptr);

    IErrorInfo* taken = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &taken), S_OK);
    EXPECT_EQ(taken, info);
    IErrorInfo* again = info;
    EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(taken->Release(), 0u);  // the reference came over, none was added
}

TEST(ComTypesErrorInfo, IssueErrorExTakesTheErrorOnlyWhenTheObjectVouchesForIt) {
    CountedObject object;
    object.interfaceWithErrorInfo = IID_IDispatch;

    ICreateErrorInfo* create = NewErrorInfo(L"Core", L"Filter failed");
    SetErrorInfo(0, AsErrorInfo(create));
    create->Release();
    create->Release();  // the one AsErrorInfo added: the thread holds the last
    try {
        _com_issue_errorex(E_FAIL, static_cast<IDispatch*>(&object), IID_IDispatch);
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_FAIL);
        EXPECT_EQ(e.Source(), _bstr_t(L"Core"));
        EXPECT_EQ(e.Description(), _bstr_t(L"Filter failed"));
    }
    IErrorInfo* left = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);
    EXPECT_EQ(object.references, 1);

    create = NewErrorInfo(L"Core", L"not for this interface");
    SetErrorInfo(0, AsErrorInfo(create));
    create->Release();
    create->Release();
    for (bool offers : {true, false}) {
        object.offersSupportErrorInfo = offers;
        try {
            _com_issue_errorex(DISP_E_EXCEPTION, static_cast<IDispatch*>(&object), IID_IStream);
            FAIL() << "no exception";
        } catch (const _com_error& e) {
            EXPECT_EQ(e.Error(), DISP_E_EXCEPTION);
            EXPECT_EQ(e.ErrorInfo(), nullptr);
            EXPECT_TRUE(!e.Description());
        }
    }
    EXPECT_EQ(GetErrorInfo(0, &left), S_OK);  // still the thread's
    left->Release();
    EXPECT_EQ(object.references, 1);
}

TEST(ComTypesComError, CarriesCodeMessageAndErrorObject) {
    ICreateErrorInfo* create = NewErrorInfo(L"s", L"d");
    IErrorInfo* info = AsErrorInfo(create);
    create->Release();
    {
        _com_error first(E_POINTER, info, true);
        _com_error second = first;
        EXPECT_EQ(info->AddRef(), 4u);  // ours, first's, second's and this one
        info->Release();
        IErrorInfo* handed = second.ErrorInfo();
        EXPECT_EQ(handed, info);
        handed->Release();
    }
    EXPECT_EQ(info->Release(), 0u);

    EXPECT_STREQ(_com_error(E_FAIL).ErrorMessage(), "Unspecified error");
    EXPECT_STREQ(_com_error(E_NOINTERFACE).ErrorMessage(), "No such interface supported");
    const _com_error dispatchCode(_com_error::WCodeToHRESULT(0x1034));
    EXPECT_EQ(dispatchCode.Error(), static_cast<HRESULT>(0x80041234));
    EXPECT_EQ(dispatchCode.WCode(), 0x1034);
    EXPECT_STREQ(dispatchCode.ErrorMessage(), "IDispatch error #4148");
    EXPECT_STREQ(_com_error(static_cast<HRESULT>(0x80030002)).ErrorMessage(),
                 "Unknown error 0x80030002");
    EXPECT_EQ(_com_error(E_FAIL).WCode(), 0);
    EXPECT_TRUE(!_com_error(E_FAIL).Source());
}

// --- _bstr_t ------------------------------------------------------------------

TEST(ComTypesBstrT, CopiesShareOneStringAndOnlyUnsharedOnesDetach) {
    _bstr_t first(L"shared");
    {
        _bstr_t second = first;
        EXPECT_EQ(static_cast<const wchar_t*>(second), static_cast<const wchar_t*>(first));
        try {
            first.Detach();
            FAIL() << "detached a shared string";
        } catch (const _com_error& e) {
            EXPECT_EQ(e.Error(), E_POINTER);
        }
        BSTR* slot = second.GetAddress();  // leaves `first` as it was
        EXPECT_EQ(*slot, nullptr);
        *slot = SysAllocString(L"out");
        EXPECT_EQ(second, _bstr_t(L"out"));
    }
    EXPECT_STREQ(static_cast<const wchar_t*>(first), L"shared");
    BSTR detached = first.Detach();
    EXPECT_STREQ(detached, L"shared");
    EXPECT_EQ(static_cast<const wchar_t*>(first), nullptr);
    first.Attach(detached);  // owned again, freed by first's destructor
    BSTR own = first.copy();
    EXPECT_NE(own, first.GetBSTR());
    SysFreeString(own);
}

TEST(ComTypesBstrT, LengthComparisonAndConcatenation) {
    const wchar_t withNull[] = {L'a', L'\0', L'b'};
    _bstr_t embedded(SysAllocStringLen(withNull, 3), false);
    EXPECT_EQ(embedded.length(), 3u);
    EXPECT_NE(embedded, _bstr_t(L"a"));
    EXPECT_EQ(_bstr_t(), _bstr_t(L""));
    EXPECT_TRUE(!_bstr_t());
    EXPECT_FALSE(!_bstr_t(L""));
    EXPECT_LT(_bstr_t(L"a"), _bstr_t(L"ab"));
    EXPECT_GT(_bstr_t(L"b"), _bstr_t(L"ab"));
    EXPECT_TRUE(_bstr_t(L"x") == L"x");

    _bstr_t joined = L"COMEX: " + _bstr_t(L"CConnect") + _bstr_t();
    joined += L" -- hr=-2147467259";
    EXPECT_STREQ(static_cast<const wchar_t*>(joined), L"COMEX: CConnect -- hr=-2147467259");
    EXPECT_EQ((embedded + embedded).length(), 6u);
}

TEST(ComTypesBstrT, CopiesMayBeTakenAndDroppedOnManyThreads) {
    _bstr_t shared(L"shared");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared] {
            for (int i = 0; i < 2000; ++i) {
                _bstr_t copy = shared;
                EXPECT_EQ(copy.length(), 6u);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    BSTR detached = shared.Detach();  // only possible when no copy is left
    SysFreeString(detached);
}

// --- _variant_t ---------------------------------------------------------------

TEST(ComTypesVariantT, ConvertsOnRequestAndThrowsOnFailure) {
    EXPECT_EQ(static_cast<LONG>(_variant_t(L"42")), 42);
    EXPECT_EQ(static_cast<double>(_variant_t(LONG{3})), 3.0);
    EXPECT_TRUE(static_cast<bool>(_variant_t(L"True")));
    EXPECT_EQ(static_cast<_bstr_t>(_variant_t(LONG{-7})), _bstr_t(L"-7"));
    EXPECT_EQ(_variant_t(true).boolVal, VARIANT_TRUE);
    EXPECT_EQ(_variant_t(39145.0, VT_DATE).vt, VT_DATE);
    try {
        static_cast<void>(static_cast<LONG>(_variant_t(L"many")));
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), DISP_E_TYPEMISMATCH);
    }
    try {
        static_cast<void>(static_cast<BYTE>(_variant_t(LONG{300})));
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), DISP_E_OVERFLOW);
    }

    _variant_t changing(L"12");
    changing.ChangeType(VT_I2);
    EXPECT_EQ(changing.vt, VT_I2);
    EXPECT_EQ(changing.iVal, 12);
    changing = L"text";
    EXPECT_EQ(changing.vt, VT_BSTR);
    EXPECT_EQ(changing, _variant_t(L"text"));
}

TEST(ComTypesVariantT, HoldsAndHandsOutInterfaceReferences) {
    CountedObject object;
    {
        _variant_t held(static_cast<IDispatch*>(&object));
        EXPECT_EQ(object.references, 2);
        _variant_t copy = held;
        EXPECT_EQ(object.references, 3);
        IDispatch* handed = copy;
        EXPECT_EQ(object.references, 4);
        handed->Release();
        VARIANT detached = copy.Detach();
        EXPECT_EQ(object.references, 3);
        VariantClear(&detached);
    }
    EXPECT_EQ(object.references, 1);
}

// --- _com_ptr_t -----------------------------------------------------------------

TEST(ComTypesComPtr, CountsReferencesThroughCopyAssignmentAndDetach) {
    CountedObject object;
    {
        IDispatchPtr first(&object);
        EXPECT_EQ(object.references, 2);
        IDispatchPtr second = first;
        EXPECT_EQ(object.references, 3);
        second = nullptr;
        EXPECT_EQ(object.references, 2);
        second = first;
        second = first;  // assigning what it already holds changes nothing
        EXPECT_EQ(object.references, 3);
        IDispatch* raw = second.Detach();
        EXPECT_EQ(object.references, 3);
        second.Attach(raw);  // takes the detached reference back
        EXPECT_EQ(object.references, 3);
        IDispatch** out = &second;  // for an out-parameter: released first
        EXPECT_EQ(*out, nullptr);
        EXPECT_EQ(object.references, 2);
    }
    EXPECT_EQ(object.references, 1);
}

TEST(ComTypesComPtr, QueriesOtherInterfacesOnConstruction) {
    CountedObject object;
    IDispatchPtr dispatch(&object);
    {
        IUnknownPtr unknown(dispatch);
        EXPECT_EQ(object.references, 3);
        ISupportErrorInfoPtr support = unknown;
        EXPECT_EQ(object.references, 4);
        EXPECT_TRUE(support == dispatch);  // one object, one identity
        EXPECT_FALSE(support != dispatch);

        widgets::IWidgetPtr widget(dispatch);  // not implemented: null, no exception
        EXPECT_TRUE(!widget);
        EXPECT_TRUE(widget == nullptr);
    }
    EXPECT_EQ(object.references, 2);

    object.otherInterfaceResult = E_OUTOFMEMORY;
    try {
        widgets::IWidgetPtr widget(dispatch);
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_OUTOFMEMORY);
    }
    IUnknown* unknown = nullptr;
    EXPECT_EQ(dispatch.QueryInterface(IID_IUnknown, &unknown), S_OK);
    unknown->Release();
    EXPECT_EQ(object.references, 2);
}

TEST(ComTypesComPtr, NullPointersRaiseEPointerWhenUsed) {
    IDispatchPtr empty;
    EXPECT_EQ(empty.GetInterfacePtr(), nullptr);
    for (int use = 0; use < 3; ++use) {
        try {
            if (use == 0)
                empty->AddRef();
            if (use == 1)
                empty.Release();
            if (use == 2)
                static_cast<void>(*empty);
            FAIL() << "no exception for use " << use;
        } catch (const _com_error& e) {
            EXPECT_EQ(e.Error(), E_POINTER);
        }
    }
}
