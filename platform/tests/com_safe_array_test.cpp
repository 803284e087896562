// Safe arrays: bounds, locks, elements copied in and out, memory order.
#include <windows.h>
#include <objbase.h>

#include "com_test_objects.h"

#include <gtest/gtest.h>

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
