// Error information: the error object, the thread's slot, and _com_error
// with what it carries.
#include <windows.h>
#include <objbase.h>
#include <comdef.h>

#include "com_test_objects.h"

#include <gtest/gtest.h>

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
