#include "event_source.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// A hand-written sink that records the events it gets and answers the
// interface it is told to.
class RecordingSink final : public IDispatch {
  public:
    explicit RecordingSink(IID answers = __uuidof(ButtonEvents)) : m_answers(answers) {}

    LONG references = 1;
    std::vector<DISPID> events;
    std::function<HRESULT(DISPPARAMS*)> onEvent;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != m_answers)
            return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO*, UINT*) override {
        EXPECT_EQ(riid, IID_NULL);
        EXPECT_EQ(flags, DISPATCH_METHOD);
        events.push_back(id);
        return onEvent ? onEvent(params) : S_OK;
    }

  private:
    IID m_answers;
};

IConnectionPoint* PointOf(Button& button, const IID& iid) {
    IConnectionPoint* point = nullptr;
    EXPECT_EQ(button.FindConnectionPoint(iid, &point), S_OK);
    return point;
}

TEST(ConnectionPoint, FindsPointsByInterfaceAndSharesTheContainersCount) {
    Button button;
    IConnectionPoint* clicks = PointOf(button, __uuidof(ButtonEvents));
    ASSERT_NE(clicks, nullptr);
    EXPECT_EQ(button.references, 2);  // the point's reference is the button's

    IID iid{};
    EXPECT_EQ(clicks->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, __uuidof(ButtonEvents));
    IConnectionPointContainer* container = nullptr;
    EXPECT_EQ(clicks->GetConnectionPointContainer(&container), S_OK);
    EXPECT_EQ(container, static_cast<IConnectionPointContainer*>(&button));
    container->Release();

    // The point is an object of its own: it answers IConnectionPoint, not the button's interfaces.
    void* other = nullptr;
    EXPECT_EQ(clicks->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(clicks->QueryInterface(IID_IUnknown, &other), S_OK);
    EXPECT_EQ(other, static_cast<void*>(clicks));
    clicks->Release();
    clicks->Release();
    EXPECT_EQ(button.references, 1);

    IConnectionPoint* none = clicks;
    EXPECT_EQ(button.FindConnectionPoint(__uuidof(CommandBarButton), &none),
              CONNECT_E_NOCONNECTION);
    EXPECT_EQ(none, nullptr);
}

TEST(ConnectionPoint, CookiesAreNonZeroAndUnadviseKnowsOnlyLiveOnes) {
    Button button;
    IConnectionPoint* clicks = PointOf(button, __uuidof(ButtonEvents));
    RecordingSink first, second, third;
    DWORD cookie1 = 0, cookie2 = 0, cookie3 = 0;
    EXPECT_EQ(clicks->Advise(&first, &cookie1), S_OK);
    EXPECT_EQ(clicks->Advise(&second, &cookie2), S_OK);
    EXPECT_EQ(cookie1, 1u);
    EXPECT_EQ(cookie2, 2u);
    EXPECT_EQ(first.references, 2);  // held while connected

    EXPECT_EQ(clicks->Unadvise(cookie1), S_OK);
    EXPECT_EQ(first.references, 1);
    EXPECT_EQ(clicks->Unadvise(cookie1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(clicks->Unadvise(0), CONNECT_E_NOCONNECTION);

    EXPECT_EQ(clicks->Advise(&third, &cookie3), S_OK);
    EXPECT_NE(cookie3, 0u);
    EXPECT_NE(cookie3, cookie2);
    EXPECT_EQ(clicks->Unadvise(cookie2), S_OK);
    EXPECT_EQ(clicks->Unadvise(cookie3), S_OK);
    clicks->Release();
}

TEST(ConnectionPoint, RefusesSinksWithoutTheEventInterface) {
    Button button;
    IConnectionPoint* clicks = PointOf(button, __uuidof(ButtonEvents));
    RecordingSink dispatchOnly(IID_IDispatch);  // answers IDispatch but not ButtonEvents
    DWORD cookie = 99;
    EXPECT_EQ(clicks->Advise(&dispatchOnly, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(dispatchOnly.references, 1);
    cookie = 99;
    EXPECT_EQ(clicks->Advise(nullptr, &cookie), E_POINTER);
    EXPECT_EQ(cookie, 0u);
    clicks->Release();
}

TEST(ConnectionPoint, FiresToEverySinkWithArgumentsInReverseOrder) {
    Button button;
    RecordingSink first, second, other(__uuidof(OtherEvents));
    DWORD cookie1 = 0, cookie2 = 0, cookieOther = 0;
    ASSERT_EQ(AtlAdvise(button.GetUnknown(), &first, __uuidof(ButtonEvents), &cookie1), S_OK);
    ASSERT_EQ(AtlAdvise(button.GetUnknown(), &second, __uuidof(ButtonEvents), &cookie2), S_OK);
    ASSERT_EQ(AtlAdvise(button.GetUnknown(), &other, __uuidof(OtherEvents), &cookieOther), S_OK);

    first.onEvent = [&](DISPPARAMS* params) {
        EXPECT_EQ(params->cArgs, 2u);
        EXPECT_EQ(params->cNamedArgs, 0u);
        EXPECT_EQ(params->rgvarg[1].vt, VT_DISPATCH);
        EXPECT_EQ(params->rgvarg[1].pdispVal, static_cast<CommandBarButton*>(&button));
        EXPECT_EQ(params->rgvarg[0].vt, VT_BYREF | VT_BOOL);
        *params->rgvarg[0].pboolVal = VARIANT_TRUE;
        return S_OK;
    };
    VARIANT_BOOL seenBySecond = VARIANT_FALSE;
    second.onEvent = [&](DISPPARAMS* params) {
        seenBySecond = *params->rgvarg[0].pboolVal;
        return S_OK;
    };
    HRESULT fired = E_UNEXPECTED;
    EXPECT_EQ(button.Click(&fired), VARIANT_TRUE);
    EXPECT_EQ(fired, S_OK);
    EXPECT_EQ(seenBySecond, VARIANT_TRUE);
    EXPECT_EQ(first.events, std::vector<DISPID>{kClick});
    EXPECT_EQ(second.events, std::vector<DISPID>{kClick});
    EXPECT_TRUE(other.events.empty());

    using Changes = IConnectionPointImpl<Button, &__uuidof(OtherEvents)>;
    EXPECT_EQ(button.Changes::FireEvent(kChanged), S_OK);
    EXPECT_EQ(other.events, std::vector<DISPID>{kChanged});

    EXPECT_EQ(AtlUnadvise(button.GetUnknown(), __uuidof(ButtonEvents), cookie1), S_OK);
    EXPECT_EQ(AtlUnadvise(button.GetUnknown(), __uuidof(ButtonEvents), cookie2), S_OK);
    EXPECT_EQ(AtlUnadvise(button.GetUnknown(), __uuidof(OtherEvents), cookieOther), S_OK);
    EXPECT_EQ(AtlUnadvise(button.GetUnknown(), __uuidof(OtherEvents), cookieOther),
              CONNECT_E_NOCONNECTION);
    EXPECT_EQ(button.references, 1);
}

TEST(ConnectionPoint, AtlAdviseNeedsAContainer) {
    RecordingSink notASource, sink;
    DWORD cookie = 5;
    EXPECT_EQ(AtlAdvise(&notASource, &sink, __uuidof(ButtonEvents), &cookie), E_NOINTERFACE);
    EXPECT_EQ(AtlAdvise(nullptr, &sink, __uuidof(ButtonEvents), &cookie), E_INVALIDARG);
    EXPECT_EQ(cookie, 5u);
    Button button;
    EXPECT_EQ(AtlAdvise(button.GetUnknown(), &sink, __uuidof(CommandBarButton), &cookie),
              CONNECT_E_NOCONNECTION);
}

TEST(ConnectionPoint, SinksUnadvisedOrAdvisedDuringAnEventAreHandledSafely) {
    Button button;
    RecordingSink first, second, late;
    DWORD cookie1 = 0, cookie2 = 0, cookieLate = 0;
    AtlAdvise(button.GetUnknown(), &first, __uuidof(ButtonEvents), &cookie1);
    AtlAdvise(button.GetUnknown(), &second, __uuidof(ButtonEvents), &cookie2);
    // The first sink leaves, takes the second with it and brings in a third.
    first.onEvent = [&](DISPPARAMS*) {
        EXPECT_EQ(AtlUnadvise(button.GetUnknown(), __uuidof(ButtonEvents), cookie1), S_OK);
        EXPECT_EQ(AtlUnadvise(button.GetUnknown(), __uuidof(ButtonEvents), cookie2), S_OK);
        EXPECT_EQ(AtlAdvise(button.GetUnknown(), &late, __uuidof(ButtonEvents), &cookieLate), S_OK);
        return S_OK;
    };
    button.Click();
    EXPECT_EQ(first.events.size(), 1u);
    EXPECT_TRUE(second.events.empty());
    EXPECT_TRUE(late.events.empty());  // joined after the event began
    EXPECT_EQ(first.references, 1);
    EXPECT_EQ(second.references, 1);

    button.Click();
    EXPECT_EQ(first.events.size(), 1u);
    EXPECT_EQ(late.events.size(), 1u);
    AtlUnadvise(button.GetUnknown(), __uuidof(ButtonEvents), cookieLate);
}

TEST(ConnectionPoint, AFailingSinkDoesNotStopTheOthers) {
    RecordingSink failing, next;  // outlive the button, which releases them
    Button button;
    DWORD cookie = 0;
    AtlAdvise(button.GetUnknown(), &failing, __uuidof(ButtonEvents), &cookie);
    AtlAdvise(button.GetUnknown(), &next, __uuidof(ButtonEvents), &cookie);
    failing.onEvent = [](DISPPARAMS*) { return DISP_E_EXCEPTION; };
    HRESULT fired = S_OK;
    button.Click(&fired);
    EXPECT_EQ(fired, DISP_E_EXCEPTION);
    EXPECT_EQ(next.events.size(), 1u);
}

TEST(ConnectionPoint, ASinkMayReleaseTheLastReferenceToTheSource) {
    auto* button = new Button;
    button->onFinalRelease = [button] { delete button; };
    RecordingSink releasing, next;
    DWORD cookie = 0;
    AtlAdvise(button->GetUnknown(), &releasing, __uuidof(ButtonEvents), &cookie);
    AtlAdvise(button->GetUnknown(), &next, __uuidof(ButtonEvents), &cookie);
    releasing.onEvent = [button](DISPPARAMS*) {
        button->Release();  // the creator's reference
        return S_OK;
    };
    button->Click();  // the button goes when the event is over, and with it the connections
    EXPECT_EQ(next.events.size(), 1u);
    EXPECT_EQ(releasing.references, 1);
    EXPECT_EQ(next.references, 1);
}

TEST(ConnectionPoint, EnumeratorsWorkOnASnapshot) {
    Button button;
    RecordingSink first, second;
    DWORD cookie1 = 0, cookie2 = 0;
    AtlAdvise(button.GetUnknown(), &first, __uuidof(ButtonEvents), &cookie1);
    AtlAdvise(button.GetUnknown(), &second, __uuidof(ButtonEvents), &cookie2);

    IConnectionPoint* clicks = PointOf(button, __uuidof(ButtonEvents));
    IEnumConnections* connections = nullptr;
    ASSERT_EQ(clicks->EnumConnections(&connections), S_OK);
    // Leaving after the enumerator was made does not change what it lists.
    AtlUnadvise(button.GetUnknown(), __uuidof(ButtonEvents), cookie1);

    CONNECTDATA data[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(3, data, nullptr), E_POINTER);
    EXPECT_EQ(connections->Next(3, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(data[0].pUnk, static_cast<IDispatch*>(&first));
    EXPECT_EQ(data[0].dwCookie, cookie1);
    EXPECT_EQ(data[1].dwCookie, cookie2);
    EXPECT_EQ(first.references, 3);  // the snapshot's and the caller's
    data[0].pUnk->Release();
    data[1].pUnk->Release();

    EXPECT_EQ(connections->Reset(), S_OK);
    EXPECT_EQ(connections->Skip(1), S_OK);
    IEnumConnections* clone = nullptr;
    ASSERT_EQ(connections->Clone(&clone), S_OK);
    EXPECT_EQ(connections->Skip(2), S_FALSE);
    EXPECT_EQ(clone->Next(1, data, nullptr), S_OK);
    EXPECT_EQ(data[0].dwCookie, cookie2);
    data[0].pUnk->Release();
    clone->Release();
    connections->Release();
    EXPECT_EQ(first.references, 1);

    IEnumConnectionPoints* points = nullptr;
    ASSERT_EQ(button.EnumConnectionPoints(&points), S_OK);
    IConnectionPoint* found[3] = {};
    EXPECT_EQ(points->Next(3, found, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(found[0], clicks);  // map order
    IID iid{};
    found[1]->GetConnectionInterface(&iid);
    EXPECT_EQ(iid, __uuidof(OtherEvents));
    found[0]->Release();
    found[1]->Release();
    points->Release();
    clicks->Release();
    AtlUnadvise(button.GetUnknown(), __uuidof(ButtonEvents), cookie2);
    EXPECT_EQ(button.references, 1);
}

}  // namespace
