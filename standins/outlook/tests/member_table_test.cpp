// The member tables that serve the object model's dual interfaces: Invoke's
// arguments coerced to a member's declared types, left out, refused; its
// results; a failing member's error information; the proxy built from the
// same table, called from another apartment.
#include <atlbase.h>
#include <atlcom.h>
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <vector>

#include "apartment_waits.h"
#include "dispatch_calls.h"
#include "dual_interface.h"
#include "table_proxy.h"
#include "test_thread.h"

// The interface has external linkage, as an interface header gives it: the
// compiler may call a member of a type local to one file directly, knowing
// every class that implements it, and so pass a proxy by.
namespace member_table_test {

enum Shade { kLight = 1, kDark = 2 };

// An interface with a member of each kind of argument and result.
struct ISample : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Describe(LONG number, BSTR text, VARIANT_BOOL flag, DATE when,
                                               Shade shade, BSTR* description) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR name) = 0;
    virtual HRESULT STDMETHODCALLTYPE Find(BSTR key, VARIANT scope, VARIANT limit, LONG* found) = 0;
    virtual HRESULT STDMETHODCALLTYPE Adopt(ISample* other, IDispatch** adopted) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Flag(VARIANT_BOOL* flag) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_When(DATE* when) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Handle(IUnknown** handle) = 0;
    virtual HRESULT STDMETHODCALLTYPE Fail(LONG code) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Thread(LONG* thread) = 0;
};
BV_DECLARE_UUID(ISample, "5E3A1C70-2B4D-4F61-9A8E-0C1D2E3F4A5B")
}  // namespace member_table_test

namespace {

using member_table_test::ISample;
using member_table_test::kDark;
using member_table_test::Shade;

constexpr DISPID kDescribe = 1, kName = 2, kFind = 3, kAdopt = 4, kFlag = 5, kWhen = 6, kHandle = 7,
                 kFail = 8, kThread = 9;

using outlook::objects::Member;

constexpr std::array kSampleMembers{
    Member<&ISample::Describe>(L"Describe", kDescribe, DISPATCH_METHOD),
    Member<&ISample::get_Name>(L"Name", kName, DISPATCH_PROPERTYGET),
    Member<&ISample::put_Name>(L"Name", kName, DISPATCH_PROPERTYPUT),
    Member<&ISample::Find>(L"Find", kFind, DISPATCH_METHOD, 2),
    Member<&ISample::Adopt>(L"Adopt", kAdopt, DISPATCH_METHOD),
    Member<&ISample::get_Flag>(L"Flag", kFlag, DISPATCH_PROPERTYGET),
    Member<&ISample::get_When>(L"When", kWhen, DISPATCH_PROPERTYGET),
    Member<&ISample::get_Handle>(L"Handle", kHandle, DISPATCH_PROPERTYGET),
    Member<&ISample::Fail>(L"Fail", kFail, DISPATCH_METHOD),
    Member<&ISample::get_Thread>(L"Thread", kThread, DISPATCH_PROPERTYGET),
};

class SampleObject : public CComObjectRootEx<CComSingleThreadModel>,
                     public outlook::objects::DualInterface<ISample> {
  public:
    BEGIN_COM_MAP(SampleObject)
    COM_INTERFACE_ENTRY(ISample)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    SampleObject() : DualInterface(kSampleMembers) {}

    STDMETHODIMP Describe(LONG number, BSTR text, VARIANT_BOOL flag, DATE when, Shade shade,
                          BSTR* description) override {
        ++calls;
        const std::wstring described = std::to_wstring(number) + L"|" + text + L"|" +
                                       (flag == VARIANT_TRUE ? L"true" : L"false") + L"|" +
                                       std::to_wstring(static_cast<long>(when)) + L"|" +
                                       std::to_wstring(static_cast<int>(shade));
        *description = SysAllocString(described.c_str());
        return S_OK;
    }
    STDMETHODIMP get_Name(BSTR* name) override { return m_name.CopyTo(name); }
    STDMETHODIMP put_Name(BSTR name) override {
        m_name = name;
        return S_OK;
    }
    STDMETHODIMP Find(BSTR, VARIANT scope, VARIANT limit, LONG* found) override {
        seen = {scope, limit};
        if (V_VT(&limit) == VT_BSTR)
            return DISP_E_TYPEMISMATCH;  // a limit must be a number
        *found = 1;
        return S_OK;
    }
    STDMETHODIMP Adopt(ISample* other, IDispatch** adopted) override {
        adoptedOne = other;
        *adopted = other;
        if (other)
            other->AddRef();
        return S_OK;
    }
    STDMETHODIMP get_Flag(VARIANT_BOOL* flag) override {
        *flag = 1;  // any non-zero short is true
        return S_OK;
    }
    STDMETHODIMP get_When(DATE* when) override {
        *when = 46360.5;
        return S_OK;
    }
    STDMETHODIMP get_Handle(IUnknown** handle) override {
        *handle = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP Fail(LONG code) override {
        return outlook::objects::ReportError(L"Sample", __uuidof(ISample), L"It went wrong.",
                                             static_cast<HRESULT>(code));
    }
    STDMETHODIMP get_Thread(LONG* thread) override {
        *thread = static_cast<LONG>(GetCurrentThreadId());
        return S_OK;
    }

    int calls = 0;
    std::vector<VARIANT> seen;
    CComPtr<ISample> adoptedOne;

  private:
    CComBSTR m_name{L"first"};
};

class MemberTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        object = new CComObjectNoLock<SampleObject>();
        sample = object;
    }
    void TearDown() override {
        sample.Release();
        CoUninitialize();
    }

    // Invoke with positional arguments in declaration order.
    HRESULT Call(DISPID id, WORD kind, std::vector<VARIANT> args, VARIANT* result,
                 UINT* argumentError = nullptr, EXCEPINFO* exception = nullptr) {
        std::reverse(args.begin(), args.end());
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        return sample->Invoke(id, IID_NULL, 0, kind, &params, result, exception, argumentError);
    }

    SampleObject* object = nullptr;
    CComPtr<ISample> sample;
};

VARIANT Text(const wchar_t* text) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(text);
    return value;
}

TEST_F(MemberTableTest, ArgumentsAreCoercedToTheDeclaredTypes) {
    CComVariant number(L"42"), text(LONG{7}), flag(LONG{-1}), when(L"1/2/2027"), shade(short{2});
    CComVariant result;
    ASSERT_EQ(Call(kDescribe, DISPATCH_METHOD, {number, text, flag, when, shade}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_STREQ(result.bstrVal, L"42|7|true|46389|2");

    // A by-reference VARIANT is read through.
    CComVariant referred(LONG{5});
    VARIANT byReference;
    V_VT(&byReference) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&byReference) = &referred;
    result.Clear();
    ASSERT_EQ(Call(kDescribe, DISPATCH_METHOD, {byReference, text, flag, when, shade}, &result),
              S_OK);
    EXPECT_STREQ(result.bstrVal, L"5|7|true|46389|2");
}

TEST_F(MemberTableTest, AnArgumentOfTheWrongTypeIsRefusedAtItsPosition) {
    CComVariant number(LONG{1}), text(L"t"), flag(true), when(L"1/2/2027"), shade(LONG{1});
    CComVariant word(L"many"), result;
    UINT position = 99;
    EXPECT_EQ(Call(kDescribe, DISPATCH_METHOD, {word, text, flag, when, shade}, &result, &position),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(position, 0u);
    EXPECT_EQ(
        Call(kDescribe, DISPATCH_METHOD, {number, text, flag, word, shade}, &result, &position),
        DISP_E_TYPEMISMATCH);
    EXPECT_EQ(position, 3u);
    EXPECT_EQ(object->calls, 0);
    EXPECT_EQ(result.vt, VT_EMPTY);

    // An interface argument must be an object that answers the interface.
    EXPECT_EQ(Call(kAdopt, DISPATCH_METHOD, {number}, &result, &position), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(position, 0u);
    CComPtr<IUnknown> stranger;
    ASSERT_EQ(CoCreateFreeThreadedMarshaler(nullptr, &stranger), S_OK);
    EXPECT_EQ(Call(kAdopt, DISPATCH_METHOD, {CComVariant(stranger)}, &result), DISP_E_TYPEMISMATCH);
    // A mismatch the member finds itself is its first VARIANT argument's.
    position = 99;
    EXPECT_EQ(Call(kFind, DISPATCH_METHOD, {text, number, word}, &result, &position),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(position, 1u);
}

TEST_F(MemberTableTest, OptionalArgumentsLeftOutArriveAsNotFound) {
    CComVariant key(L"k"), scope(LONG{3}), result;
    ASSERT_EQ(Call(kFind, DISPATCH_METHOD, {key}, &result), S_OK);
    ASSERT_EQ(object->seen.size(), 2u);
    for (const VARIANT& left : object->seen) {
        EXPECT_EQ(V_VT(&left), VT_ERROR);
        EXPECT_EQ(V_ERROR(&left), DISP_E_PARAMNOTFOUND);
    }
    ASSERT_EQ(Call(kFind, DISPATCH_METHOD, {key, scope}, &result), S_OK);
    EXPECT_EQ(V_VT(&object->seen[0]), VT_I4);
    EXPECT_EQ(V_I4(&object->seen[0]), 3);
    EXPECT_EQ(V_VT(&object->seen[1]), VT_ERROR);
    EXPECT_EQ(result.vt, VT_I4);

    // The key is not optional, and no member takes more than it declares.
    EXPECT_EQ(Call(kFind, DISPATCH_METHOD, {}, &result), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(kFind, DISPATCH_METHOD, {key, scope, scope, scope}, &result),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(kName, DISPATCH_PROPERTYGET, {key}, &result), DISP_E_BADPARAMCOUNT);
}

TEST_F(MemberTableTest, APutTakesItsValueAsTheNamedArgument) {
    CComVariant none, value;
    ASSERT_EQ(CallByName(sample, L"name", DISPATCH_PROPERTYPUT, {CComVariant(L"second")}, &none),
              S_OK);
    ASSERT_EQ(GetByName(sample, L"Name", &value), S_OK);
    EXPECT_STREQ(value.bstrVal, L"second");

    // Only a put's value may be named, and a kind the member lacks is no member.
    VARIANT argument = Text(L"third");
    DISPID named = 5;
    DISPPARAMS params{&argument, &named, 1, 1};
    EXPECT_EQ(sample->Invoke(kName, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                             nullptr),
              DISP_E_NONAMEDARGS);
    VariantClear(&argument);
    EXPECT_EQ(CallByName(sample, L"Name", DISPATCH_METHOD, {}, &value), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(CallByName(sample, L"Flag", DISPATCH_PROPERTYPUT, {CComVariant(true)}, &none),
              DISP_E_MEMBERNOTFOUND);
}

TEST_F(MemberTableTest, ResultsTakeTheTypesOfTheirDeclaration) {
    CComVariant flag, when, handle, adopted;
    ASSERT_EQ(Call(kFlag, DISPATCH_PROPERTYGET, {}, &flag), S_OK);
    EXPECT_EQ(flag.vt, VT_BOOL);
    EXPECT_EQ(flag.boolVal, VARIANT_TRUE);
    ASSERT_EQ(Call(kWhen, DISPATCH_PROPERTYGET, {}, &when), S_OK);
    EXPECT_EQ(when.vt, VT_DATE);
    EXPECT_EQ(when.date, 46360.5);
    ASSERT_EQ(Call(kHandle, DISPATCH_PROPERTYGET, {}, &handle), S_OK);
    EXPECT_EQ(handle.vt, VT_UNKNOWN);
    CComPtr<IUnknown> identity;
    sample->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(CComPtr<IUnknown>(handle.punkVal), identity);
    ASSERT_EQ(
        Call(kAdopt, DISPATCH_METHOD, {CComVariant(static_cast<IDispatch*>(sample.p))}, &adopted),
        S_OK);
    EXPECT_EQ(adopted.vt, VT_DISPATCH);
    EXPECT_EQ(object->adoptedOne.p, sample.p);
    object->adoptedOne.Release();

    // Without a place for the result, what the member gave is let go.
    ASSERT_EQ(Call(kHandle, DISPATCH_PROPERTYGET, {}, nullptr), S_OK);
    ASSERT_EQ(Call(kName, DISPATCH_PROPERTYGET, {}, nullptr), S_OK);
}

TEST_F(MemberTableTest, AFailingMembersErrorInformationIsInvokesException) {
    CComVariant code(static_cast<LONG>(E_ACCESSDENIED)), none;
    EXCEPINFO exception{};
    ASSERT_EQ(Call(kFail, DISPATCH_METHOD, {code}, &none, nullptr, &exception), DISP_E_EXCEPTION);
    EXPECT_STREQ(exception.bstrSource, L"Sample");
    EXPECT_STREQ(exception.bstrDescription, L"It went wrong.");
    EXPECT_EQ(exception.scode, E_ACCESSDENIED);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);

    // Without an EXCEPINFO the information stays on the thread for the caller.
    ASSERT_EQ(Call(kFail, DISPATCH_METHOD, {code}, &none), DISP_E_EXCEPTION);
    CComPtr<IErrorInfo> left;
    ASSERT_EQ(GetErrorInfo(0, &left), S_OK);
    CComBSTR description;
    left->GetDescription(&description);
    EXPECT_STREQ(description, L"It went wrong.");

    // A member that succeeds leaves the caller's earlier information alone.
    outlook::objects::ReportError(L"Earlier", IID_NULL, L"Before.", E_FAIL);
    ASSERT_EQ(Call(kFlag, DISPATCH_PROPERTYGET, {}, &none), S_OK);
    CComPtr<IErrorInfo> earlier;
    ASSERT_EQ(GetErrorInfo(0, &earlier), S_OK);
    CComBSTR source;
    earlier->GetSource(&source);
    EXPECT_STREQ(source, L"Earlier");
    EXPECT_EQ(object->InterfaceSupportsErrorInfo(__uuidof(ISample)), S_OK);
}

TEST_F(MemberTableTest, TheProxyFromTheTableCallsTheObjectOnItsThread) {
    ASSERT_TRUE(outlook::objects::RegisterTableProxy<ISample>(kSampleMembers));
    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(__uuidof(ISample), sample, &stream), S_OK);

    LONG servedOn = 0, servedOnByName = 0;
    std::wstring description, renamed;
    HRESULT adopted = E_FAIL, failed = S_OK;
    TestThread worker([&] {
        CoInitialize(nullptr);
        {
            CComPtr<ISample> remote;
            if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, __uuidof(ISample),
                                                         reinterpret_cast<void**>(&remote)))) {
                remote->get_Thread(&servedOn);
                CComBSTR text;
                remote->Describe(3, CComBSTR(L"x"), VARIANT_FALSE, 2.0, kDark, &text);
                description = text ? std::wstring(text) : L"";
                remote->put_Name(CComBSTR(L"from afar"));
                CComVariant thread;
                if (SUCCEEDED(GetByName(remote, L"Thread", &thread)))
                    servedOnByName = thread.lVal;
                // An object of this apartment goes across as a proxy back into it.
                CComPtr<IDispatch> back;
                adopted = remote->Adopt(remote, &back);
                failed = remote->Fail(E_ACCESSDENIED);
            }
        }
        CoUninitialize();
        return DWORD{0};
    });
    ServeUntil(worker.handle());
    ServePending();
    const LONG here = static_cast<LONG>(GetCurrentThreadId());
    EXPECT_EQ(servedOn, here);
    EXPECT_EQ(servedOnByName, here);
    EXPECT_EQ(description, L"3|x|false|2|2");
    CComVariant name;
    ASSERT_EQ(GetByName(sample, L"Name", &name), S_OK);
    EXPECT_STREQ(name.bstrVal, L"from afar");
    EXPECT_EQ(adopted, S_OK);
    EXPECT_EQ(failed, E_ACCESSDENIED);
    object->adoptedOne.Release();
}

TEST_F(MemberTableTest, ATableThatLeavesAMemberOutGivesNoProxy) {
    // Everything but Describe, the interface's first own member.
    const std::span<const outlook::objects::DispatchMember> partial(kSampleMembers.begin() + 1,
                                                                    kSampleMembers.end());
    EXPECT_FALSE(outlook::objects::RegisterTableProxy<ISample>(partial));
    EXPECT_FALSE(platform::com::HasProxyFactory(__uuidof(ISample)));
}

}  // namespace
