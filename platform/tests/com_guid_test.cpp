// Identifiers: the standard ones, their text form, and malformed text.
#include <windows.h>
#include <objbase.h>

#include "com_test_objects.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

// The SDK's objbase.h has it; mingw-w64's does not.
#ifndef CHARS_IN_GUID
#define CHARS_IN_GUID 39
#endif

namespace {

std::wstring GuidText(const GUID& guid) {
    wchar_t text[CHARS_IN_GUID];
    EXPECT_EQ(StringFromGUID2(guid, text, CHARS_IN_GUID), CHARS_IN_GUID);
    return text;
}

}  // namespace

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
        // Text of an identifier's length is a bad identifier; other text a
        // bad argument.
        IID iid;
        const bool guidLength = std::wcslen(text) == CHARS_IN_GUID - 1;
        EXPECT_EQ(IIDFromString(text, &iid), guidLength ? CO_E_IIDSTRING : E_INVALIDARG) << text;
    }
}
