// VariantChangeType: numbers, text, booleans, dates, empty and null, values
// by reference, and objects through their value property.
#include <windows.h>
#include <objbase.h>

#include "com_test_objects.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include <variant_source.h>

namespace {

struct Converted {
    HRESULT hr;
    VARIANT value;
};

Converted Convert(const VARIANT& source, VARTYPE to, USHORT flags = 0) {
    Converted out{};
    VariantInit(&out.value);
    out.hr = VariantChangeType(&out.value, BvVariantSource(&source), flags, to);
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
    EXPECT_EQ(ResultOf(MakeR8(-1.0), VT_UI4), DISP_E_OVERFLOW);
    EXPECT_EQ(ResultOf(MakeI4(-1), VT_UI2), DISP_E_OVERFLOW);
    EXPECT_EQ(ResultOf(MakeI4(32768), VT_I2), DISP_E_OVERFLOW);
    EXPECT_EQ(ResultOf(MakeR8(1e300), VT_R4), DISP_E_OVERFLOW);
}

// Between a signed integer and the unsigned one of its width the bits are
// kept, where the range of the other width is checked.
TEST(ComTypesChangeType, SignedAndUnsignedOfOneWidthKeepTheirBits) {
    Converted c = Convert(MakeI4(-1), VT_UI4);
    ASSERT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.vt, VT_UI4);
    EXPECT_EQ(c.value.ulVal, 0xFFFFFFFFu);
    VARIANT big;
    VariantInit(&big);
    big.vt = VT_UI4;
    big.ulVal = 0x80000000u;
    c = Convert(big, VT_I4);
    ASSERT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.lVal, INT32_MIN);
    VARIANT shortValue;
    VariantInit(&shortValue);
    shortValue.vt = VT_I2;
    shortValue.iVal = -2;
    c = Convert(shortValue, VT_UI2);
    ASSERT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.uiVal, 0xFFFEu);
    VARIANT byteValue;
    VariantInit(&byteValue);
    byteValue.vt = VT_UI1;
    byteValue.bVal = 0x80;
    c = Convert(byteValue, VT_I1);
    ASSERT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.cVal, -128);
    EXPECT_EQ(ResultOf(shortValue, VT_UI4), DISP_E_OVERFLOW);
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

    StringVariant word(L"tRUe");
    c = Convert(word.v, VT_BOOL);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.boolVal, VARIANT_TRUE);
#ifndef _WIN32
    // Our answer where Windows' is not on record (Wine refuses the blanks).
    StringVariant spaced(L" tRUe ");
    c = Convert(spaced.v, VT_BOOL);
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_EQ(c.value.boolVal, VARIANT_TRUE);
#endif
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
                  {L"13/1/2007", 39095.0},  // no month 13: the day comes first
                  {L"6:00 PM", 0.75},
                  {L"12/29/1899 06:00", -1.25}};
    for (const auto& p : parsed) {
        StringVariant text(p.text);
        Converted c = Convert(text.v, VT_DATE);
        ASSERT_EQ(c.hr, S_OK) << p.text;
        EXPECT_NEAR(c.value.date, p.date, 1e-9) << p.text;
    }
    for (const wchar_t* bad : {L"2/30/2007", L"13/13/2007", L"tomorrow", L"25:00"}) {
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
