// Interfaces handed between apartments: proxies whose calls run on the thread
// of a single-threaded apartment, free-threaded objects handed over as they
// are, and the failures of marshalling.
#include "apartment_objects.h"
#include "apartment_waits.h"
#include "test_thread.h"

#include "platform/clock.h"
#include "platform/proxies.h"

#include <gtest/gtest.h>

namespace {

class CustomProxy : public platform::com::InterfaceProxy<ICustom> {
  public:
    using InterfaceProxy::InterfaceProxy;
    STDMETHODIMP Twice(LONG value, LONG* result) override {
        return Forward(&ICustom::Twice, value, result);
    }
    STDMETHODIMP Partner(IDispatch** partner) override {
        return Forward(&ICustom::Partner, partner);
    }
    STDMETHODIMP Visit(IDispatch* other, LONG* threadId) override {
        return Forward(&ICustom::Visit, other, threadId);
    }
};

template <class I>
IStream* Marshalled(I* object, HRESULT expected = S_OK) {
    IStream* stream = nullptr;
    EXPECT_EQ(CoMarshalInterThreadInterfaceInStream(__uuidof(I), object, &stream), expected);
    return stream;
}

template <class I>
I* Unmarshalled(IStream* stream, HRESULT expected = S_OK) {
    I* object = nullptr;
    EXPECT_EQ(
        CoGetInterfaceAndReleaseStream(stream, __uuidof(I), reinterpret_cast<void**>(&object)),
        expected);
    return object;
}

TEST(MarshalTest, CallsOnAnApartmentObjectRunOnItsThread) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    std::atomic<DWORD> releasedOn{0};
    auto* object = new ThreadReporter(&releasedOn);
    IStream* stream = Marshalled<IDispatch>(object);
    ASSERT_NE(stream, nullptr);
    object->Release();  // the worker's proxy will hold the last reference
    const DWORD owner = GetCurrentThreadId();

    LONG seenByWorker = 0;
    LONG workerId = 0;
    TestThread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IDispatch* proxy = Unmarshalled<IDispatch>(stream);
        if (proxy) {
            EXPECT_NE(proxy, static_cast<IDispatch*>(object));
            seenByWorker = ThreadIdOf(proxy);
            // Asked through the proxy, an interface without a proxy is refused.
            ICustom* custom = reinterpret_cast<ICustom*>(1);
            EXPECT_EQ(proxy->QueryInterface(__uuidof(ICustom), reinterpret_cast<void**>(&custom)),
                      E_NOINTERFACE);
            EXPECT_EQ(custom, nullptr);
            IUnknown* identity = nullptr;
            IUnknown* again = nullptr;
            EXPECT_EQ(proxy->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)),
                      S_OK);
            EXPECT_EQ(proxy->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)), S_OK);
            EXPECT_NE(identity, nullptr);
            EXPECT_EQ(identity, again);
            if (identity && again) {
                again->Release();
                identity->Release();
            }
            proxy->Release();
        }
        workerId = static_cast<LONG>(GetCurrentThreadId());
        CoUninitialize();
        return DWORD{0};
    });
    ServeUntil(worker.handle());
    EXPECT_EQ(seenByWorker, static_cast<LONG>(owner));
    EXPECT_NE(workerId, static_cast<LONG>(owner));

    // The proxy's reference, the last, is given back on the owner thread.
    ServePending();
    EXPECT_EQ(releasedOn.load(), owner);
    CoUninitialize();
}

TEST(MarshalTest, CallsArriveThroughTheOwnersMessageLoop) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    const DWORD owner = GetCurrentThreadId();
    HWND hidden = FindWindowExW(HWND_MESSAGE, nullptr, L"OleMainThreadWndClass", nullptr);
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(hidden, nullptr), owner);

    std::atomic<DWORD> releasedOn{0};
    auto* object = new ThreadReporter(&releasedOn);
    IStream* stream = Marshalled<IDispatch>(object);
    object->Release();
    LONG seenByWorker = 0;
    TestThread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IDispatch* proxy = Unmarshalled<IDispatch>(stream);
        if (proxy) {
            seenByWorker = ThreadIdOf(proxy);
            proxy->Release();
        }
        CoUninitialize();
        PostThreadMessageW(owner, WM_APP, 0, 0);
        return DWORD{0};
    });
    // An ordinary message loop runs the worker's call and its release.
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == WM_APP)
            break;
        DispatchMessageW(&message);
    }
    EXPECT_EQ(seenByWorker, static_cast<LONG>(owner));
    EXPECT_EQ(releasedOn.load(), owner);
    CoUninitialize();
    EXPECT_FALSE(IsWindow(hidden));
}

TEST(MarshalTest, AnApartmentThatServesNoCallsKeepsItsCallersWaiting) {
    SYSTEMTIME start{2026, 12, 6, 5, 12, 0, 0, 0};
    platform::host::UseVirtualClock(start);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    auto* object = new ThreadReporter;
    IStream* stream = Marshalled<IDispatch>(object);
    HANDLE called = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    TestThread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IDispatch* proxy = Unmarshalled<IDispatch>(stream);
        ThreadIdOf(proxy);
        SetEvent(called);
        proxy->Release();
        CoUninitialize();
        return DWORD{0};
    });
    // Once the worker has settled it waits in its call, which has not run.
    platform::host::AdvanceClock(0);
    EXPECT_EQ(WaitForSingleObject(called, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ServeUntil(called);
    ServeUntil(worker.handle());
    object->Release();
    CloseHandle(called);
    CoUninitialize();
}

TEST(MarshalTest, TheOwnApartmentAndFreeThreadedObjectsGetTheObjectItself) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    auto* object = new ThreadReporter;
    IDispatch* same = Unmarshalled<IDispatch>(Marshalled<IDispatch>(object));
    EXPECT_EQ(same, static_cast<IDispatch*>(object));
    same->Release();

    auto* freeThreaded = new ThreadReporter(nullptr, true);
    IStream* stream = Marshalled<ICustom>(freeThreaded);  // no proxy needed
    TestThread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ICustom* direct = Unmarshalled<ICustom>(stream);
        EXPECT_EQ(direct, static_cast<ICustom*>(freeThreaded));
        IDispatch* dispatch = nullptr;
        direct->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
        // Called directly, on the calling thread.
        EXPECT_EQ(ThreadIdOf(dispatch), static_cast<LONG>(GetCurrentThreadId()));
        dispatch->Release();
        direct->Release();
        CoUninitialize();
        return DWORD{0};
    });
    freeThreaded->Release();
    object->Release();
    CoUninitialize();
}

TEST(MarshalTest, AnInterfaceIsMarshalledOnlyWithAProxy) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    std::atomic<DWORD> releasedOn{0};
    auto* object = new ThreadReporter(&releasedOn);
    EXPECT_EQ(Marshalled<ICustom>(object, E_NOINTERFACE), nullptr);

    platform::com::RegisterProxy<CustomProxy, ICustom>();
    IStream* stream = Marshalled<ICustom>(object);
    const DWORD owner = GetCurrentThreadId();
    TestThread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ICustom* proxy = Unmarshalled<ICustom>(stream);
        LONG doubled = 0;
        EXPECT_EQ(proxy->Twice(21, &doubled), S_OK);
        EXPECT_EQ(doubled, 42);
        // An object made by the call lives on the owner thread: it comes back
        // as a proxy too.
        IDispatch* partner = nullptr;
        EXPECT_EQ(proxy->Partner(&partner), S_OK);
        if (partner) {
            EXPECT_EQ(ThreadIdOf(partner), static_cast<LONG>(owner));
            partner->Release();
        }
        IDispatch* dispatch = nullptr;
        EXPECT_EQ(proxy->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
        if (dispatch) {
            EXPECT_EQ(ThreadIdOf(dispatch), static_cast<LONG>(owner));
            dispatch->Release();
        }
        proxy->Release();
        CoUninitialize();
        return DWORD{0};
    });
    ServeUntil(worker.handle());
    object->Release();
    ServePending();
    EXPECT_EQ(releasedOn.load(), owner);
    CoUninitialize();
}

TEST(MarshalTest, TwoApartmentsCallingEachOtherServeEachOther) {
    platform::com::RegisterProxy<CustomProxy, ICustom>();
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    auto* object = new ThreadReporter;
    IStream* stream = Marshalled<ICustom>(object);
    const DWORD owner = GetCurrentThreadId();
    DWORD callbackThread = 0;
    LONG visitedOn = 0;
    TestThread worker([&] {
        CoInitialize(nullptr);  // an STA of its own
        callbackThread = GetCurrentThreadId();
        ICustom* proxy = Unmarshalled<ICustom>(stream);
        // The owner calls back into this apartment while this thread waits
        // for the owner: the callback runs here, within the wait.
        auto* callback = new ThreadReporter;
        EXPECT_EQ(proxy->Visit(callback, &visitedOn), S_OK);
        callback->Release();
        proxy->Release();
        CoUninitialize();
        return DWORD{0};
    });
    ServeUntil(worker.handle());
    EXPECT_EQ(visitedOn, static_cast<LONG>(callbackThread));
    EXPECT_NE(callbackThread, owner);
    ServePending();
    object->Release();
    CoUninitialize();
}

TEST(MarshalTest, AClosedApartmentDisconnectsItsProxies) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    std::atomic<DWORD> releasedOn{0};
    IStream* stream = nullptr;
    DWORD ownerId = 0;
    HANDLE handedOver = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE close = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    IDispatch* proxy = nullptr;
    {
        TestThread owner([&] {
            CoInitialize(nullptr);
            ownerId = GetCurrentThreadId();
            auto* object = new ThreadReporter(&releasedOn);
            stream = Marshalled<IDispatch>(object);
            object->Release();  // the marshalled stream keeps it
            SetEvent(handedOver);
            ServeUntil(close);
            CoUninitialize();
            return DWORD{0};
        });
        WaitForSingleObject(handedOver, INFINITE);
        proxy = Unmarshalled<IDispatch>(stream);
        ASSERT_NE(proxy, nullptr);
        EXPECT_EQ(ThreadIdOf(proxy), static_cast<LONG>(ownerId));
        SetEvent(close);
    }
    // The object went with its apartment, released on its own thread.
    EXPECT_EQ(releasedOn.load(), ownerId);
    HRESULT result = S_OK;
    ThreadIdOf(proxy, &result);
    EXPECT_EQ(result, RPC_E_DISCONNECTED);
    proxy->Release();
    CloseHandle(handedOver);
    CloseHandle(close);
    CoUninitialize();
}

TEST(MarshalTest, StreamsAreUsedUpOnceUnlessMarshalledForATable) {
    IStream* stream = nullptr;
    auto* object = new ThreadReporter;
    EXPECT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, static_cast<IDispatch*>(object),
                                                    &stream),
              CO_E_NOTINITIALIZED);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(CoMarshalInterface(stream, IID_IDispatch, static_cast<IDispatch*>(object),
                                 MSHCTX_INPROC, nullptr, MSHLFLAGS_TABLESTRONG),
              S_OK);
    const LARGE_INTEGER start{};
    IDispatch* first = nullptr;
    IDispatch* second = nullptr;
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(CoUnmarshalInterface(stream, IID_IDispatch, reinterpret_cast<void**>(&first)), S_OK);
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(CoUnmarshalInterface(stream, IID_IDispatch, reinterpret_cast<void**>(&second)), S_OK);
    EXPECT_EQ(first, static_cast<IDispatch*>(object));
    EXPECT_EQ(second, first);
    first->Release();
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(CoReleaseMarshalData(stream), S_OK);
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(CoUnmarshalInterface(stream, IID_IDispatch, reinterpret_cast<void**>(&first)),
              CO_E_OBJNOTCONNECTED);
    stream->Release();
    second->Release();

    // A normal marshalling is used up by its unmarshalling.
    IStream* once = Marshalled<IDispatch>(object);
    IStream* clone = nullptr;
    once->Clone(&clone);
    object->Release();
    IDispatch* taken = Unmarshalled<IDispatch>(once);
    EXPECT_EQ(Unmarshalled<IDispatch>(clone, CO_E_OBJNOTCONNECTED), nullptr);
    taken->Release();

    IStream* garbage = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &garbage);
    garbage->Write("not an object reference, no", 28, nullptr);
    garbage->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(Unmarshalled<IDispatch>(garbage, RPC_E_INVALID_OBJREF), nullptr);
    CoUninitialize();
}

}  // namespace
