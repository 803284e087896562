// _com_ptr_t: references counted through copies, queries on construction,
// and null pointers raising E_POINTER.
#include <windows.h>
#include <objbase.h>
#include <comdef.h>

#include "com_test_objects.h"

#include <gtest/gtest.h>

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
