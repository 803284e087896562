// VARIANT's lifetime (clear and copy) and _variant_t's conversions and
// interface references.
#include <windows.h>
#include <objbase.h>
#include <comdef.h>

#include "com_test_objects.h"

#include <gtest/gtest.h>

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
    // A VT_VARIANT by value holds nothing to free, and a VT_CLSID may be
    // cleared but not copied.
    bad.vt = VT_VARIANT;
    EXPECT_EQ(VariantClear(&bad), S_OK);
    EXPECT_EQ(bad.vt, VT_EMPTY);
    bad.vt = VT_CLSID;
    bad.byref = nullptr;
    EXPECT_EQ(VariantCopy(&copy, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantCopy(&bad, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantClear(&bad), S_OK);
    bad.vt = VT_VOID | VT_BYREF;
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
}

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
