// Connection points: the source side of COM events, in ATL's shapes.
//
// A source object mixes in IConnectionPointContainerImpl<T> and one
// IConnectionPointImpl<T, &iid> per outgoing interface, lists them in a
// connection point map, and supplies QueryInterface, AddRef and Release
// itself (answering IConnectionPointContainer):
//
//     class CButton : public IDispatch,
//                     public IConnectionPointContainerImpl<CButton>,
//                     public IConnectionPointImpl<CButton, &__uuidof(ButtonEvents)> {
//         BEGIN_CONNECTION_POINT_MAP(CButton)
//             CONNECTION_POINT_ENTRY(__uuidof(ButtonEvents))
//         END_CONNECTION_POINT_MAP()
//         ...
//         FireEvent(1, static_cast<IDispatch*>(this), &cancel);
//     };
//
// Each connection point is a COM object of its own (QueryInterface answers
// IUnknown and IConnectionPoint) whose reference count is its container's.
// AtlAdvise and AtlUnadvise connect a sink to a source in one call.
#pragma once

#include "windef.h"
#include "winnls.h"
#include "ocidl.h"
#include "olectl.h"
#include "oaidl.h"
#include "oleauto.h"
#include "ref_counted.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

namespace ATL {

namespace detail {

// A counted reference that is released when dropped.
template <class I>
class Ref {
  public:
    Ref() noexcept = default;
    // Takes over a reference the caller already holds.
    static Ref Adopt(I* p) noexcept {
        Ref ref;
        ref.m_p = p;
        return ref;
    }
    // Adds a reference of its own.
    static Ref Share(I* p) noexcept {
        if (p != nullptr)
            p->AddRef();
        return Adopt(p);
    }
    Ref(Ref&& that) noexcept : m_p(std::exchange(that.m_p, nullptr)) {}
    Ref& operator=(Ref&& that) noexcept {
        Ref(std::move(that)).Swap(*this);
        return *this;
    }
    ~Ref() {
        if (m_p != nullptr)
            m_p->Release();
    }
    I* get() const noexcept { return m_p; }
    I* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    void Swap(Ref& that) noexcept { std::swap(m_p, that.m_p); }

  private:
    I* m_p = nullptr;
};

template <class>
inline constexpr bool kAlwaysFalse = false;

// The items an enumerator hands out, each holding one reference that the
// snapshot releases when the last enumerator sharing it goes away.
inline IUnknown* ReferenceOf(const CONNECTDATA& item) {
    return item.pUnk;
}
inline IUnknown* ReferenceOf(IConnectionPoint* item) {
    return item;
}

template <class Item>
struct Snapshot {
    std::vector<Item> items;
    Snapshot() = default;
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
    ~Snapshot() {
        for (const Item& item : items)
            ReferenceOf(item)->Release();
    }
};

// IEnumConnections and IEnumConnectionPoints over a list taken when the
// enumerator was made; later advises and unadvises do not change it. Every
// item handed out carries a reference of the caller's own.
template <class EnumInterface, class Item>
class SnapshotEnum final : public platform::com::RefCounted<EnumInterface> {
  public:
    explicit SnapshotEnum(std::shared_ptr<const Snapshot<Item>> snapshot, size_t position = 0)
        : m_snapshot(std::move(snapshot)), m_position(position) {}

    static HRESULT Create(std::shared_ptr<const Snapshot<Item>> snapshot, EnumInterface** ppEnum,
                          size_t position = 0) {
        *ppEnum = std::make_unique<SnapshotEnum>(std::move(snapshot), position).release();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == __uuidof(EnumInterface)) {
            *ppv = static_cast<EnumInterface*>(this);
            this->AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG celt, Item* rgelt, ULONG* pceltFetched) override {
        if (pceltFetched != nullptr)
            *pceltFetched = 0;
        if (rgelt == nullptr || (pceltFetched == nullptr && celt != 1))
            return E_POINTER;
        ULONG fetched = 0;
        while (fetched < celt && m_position < m_snapshot->items.size()) {
            rgelt[fetched] = m_snapshot->items[m_position++];
            ReferenceOf(rgelt[fetched])->AddRef();
            ++fetched;
        }
        if (pceltFetched != nullptr)
            *pceltFetched = fetched;
        return fetched == celt ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
        const size_t left = m_snapshot->items.size() - m_position;
        const size_t skipped = celt < left ? celt : left;
        m_position += skipped;
        return skipped == celt ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        m_position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(EnumInterface** ppEnum) override {
        if (ppEnum == nullptr)
            return E_POINTER;
        return Create(m_snapshot, ppEnum, m_position);
    }

  private:
    const std::shared_ptr<const Snapshot<Item>> m_snapshot;
    size_t m_position;
};

// One connection point: the advised sinks of one outgoing interface, each
// held by the interface pointer the sink answered for that interface.
class ConnectionPoint final : public IConnectionPoint {
  public:
    explicit ConnectionPoint(const IID& iid) noexcept : m_iid(iid) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    const IID& Interface() const noexcept { return m_iid; }
    // The container whose reference count this connection point shares.
    void SetContainer(IConnectionPointContainer* container) noexcept {
        m_container.store(container, std::memory_order_relaxed);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
            *ppv = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Container()->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Container()->Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) override {
        if (pIID == nullptr)
            return E_POINTER;
        *pIID = m_iid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override {
        if (ppCPC == nullptr)
            return E_POINTER;
        *ppCPC = Container();
        (*ppCPC)->AddRef();
        return S_OK;
    }

    // The sink is asked for the connection point's own interface only; a sink
    // that answers IDispatch but not the event interface is refused.
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override {
        if (pdwCookie != nullptr)
            *pdwCookie = 0;
        if (pUnkSink == nullptr || pdwCookie == nullptr)
            return E_POINTER;
        IUnknown* sink = nullptr;
        const HRESULT hr = pUnkSink->QueryInterface(m_iid, reinterpret_cast<void**>(&sink));
        if (hr == E_NOINTERFACE)
            return CONNECT_E_CANNOTCONNECT;
        if (FAILED(hr))
            return hr;
        std::lock_guard lock(m_lock);
        const DWORD cookie = NewCookie();
        m_connections.push_back({cookie, Ref<IUnknown>::Adopt(sink)});
        *pdwCookie = cookie;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override {
        Ref<IUnknown> released;  // let go after the lock, as the sink's Release may call back
        {
            std::lock_guard lock(m_lock);
            auto it = Find(dwCookie);
            if (it == m_connections.end())
                return CONNECT_E_NOCONNECTION;
            released = std::move(it->sink);
            m_connections.erase(it);
        }
        return S_OK;
    }
    // Lets every sink go, as a source whose process goes away does; the sinks'
    // own cookies then answer CONNECT_E_NOCONNECTION.
    void DisconnectAll() {
        std::vector<Connection> released;  // let go after the lock
        {
            std::lock_guard lock(m_lock);
            released.swap(m_connections);
        }
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) override {
        if (ppEnum == nullptr)
            return E_POINTER;
        auto snapshot = std::make_shared<Snapshot<CONNECTDATA>>();
        {
            std::lock_guard lock(m_lock);
            snapshot->items.reserve(m_connections.size());
            for (const Connection& connection : m_connections) {
                connection.sink->AddRef();
                snapshot->items.push_back({connection.sink.get(), connection.cookie});
            }
        }
        return SnapshotEnum<IEnumConnections, CONNECTDATA>::Create(std::move(snapshot), ppEnum);
    }

    // Calls Invoke on every sink advised when the call begins. A sink
    // unadvised meanwhile (by itself or another sink) is skipped if it has
    // not been called yet; one advised meanwhile waits for the next event.
    // Every sink is called whatever the others return; the result is the
    // first failure, or S_OK.
    HRESULT Fire(DISPID dispid, DISPPARAMS* params) {
        std::vector<DWORD> cookies;
        {
            std::lock_guard lock(m_lock);
            for (const Connection& connection : m_connections)
                cookies.push_back(connection.cookie);
        }
        if (cookies.empty())
            return S_OK;
        // A sink may release the last outside reference to the source.
        const auto keepAlive = Ref<IConnectionPointContainer>::Share(Container());
        HRESULT result = S_OK;
        for (DWORD cookie : cookies) {
            const Ref<IUnknown> sink = SinkOf(cookie);
            if (!sink)
                continue;
            // The sink answered the event interface, a dispinterface, whose
            // pointer is an IDispatch pointer.
            auto* dispatch = reinterpret_cast<IDispatch*>(sink.get());
            VARIANT returned;
            VariantInit(&returned);
            EXCEPINFO exception{};
            UINT argumentError = 0;
            const HRESULT hr =
                dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params,
                                 &returned, &exception, &argumentError);
            VariantClear(&returned);
            SysFreeString(exception.bstrSource);
            SysFreeString(exception.bstrDescription);
            SysFreeString(exception.bstrHelpFile);
            if (FAILED(hr) && SUCCEEDED(result))
                result = hr;
        }
        return result;
    }

  private:
    struct Connection {
        DWORD cookie;
        Ref<IUnknown> sink;
    };

    IConnectionPointContainer* Container() const noexcept {
        return m_container.load(std::memory_order_relaxed);
    }
    std::vector<Connection>::iterator Find(DWORD cookie) {
        auto it = m_connections.begin();
        while (it != m_connections.end() && it->cookie != cookie)
            ++it;
        return it;
    }
    Ref<IUnknown> SinkOf(DWORD cookie) {
        std::lock_guard lock(m_lock);
        auto it = Find(cookie);
        return it == m_connections.end() ? Ref<IUnknown>() : Ref<IUnknown>::Share(it->sink.get());
    }
    // Cookies count up from 1; 0 is never given, nor one still in use.
    DWORD NewCookie() {
        for (;;) {
            const DWORD cookie = m_nextCookie++;
            if (m_nextCookie == 0)
                m_nextCookie = 1;
            if (Find(cookie) == m_connections.end())
                return cookie;
        }
    }

    const IID& m_iid;
    std::atomic<IConnectionPointContainer*> m_container{nullptr};
    std::mutex m_lock;
    std::vector<Connection> m_connections;
    DWORD m_nextCookie = 1;
};

// An event argument as the VARIANTARG a dispinterface call carries. Values
// are lent, not copied: interfaces are not AddRef'd and BSTRs stay the
// caller's. Pointers to values become by-reference arguments, so a sink can
// write through them (VARIANT_BOOL* becomes VT_BYREF|VT_BOOL, the Cancel of
// many events). A VARIANT is passed as it is.
template <class A>
VARIANTARG EventArgument(A value) {
    VARIANTARG arg;
    VariantInit(&arg);
    if constexpr (std::is_same_v<A, VARIANT>) {
        arg = value;
    } else if constexpr (std::is_same_v<A, VARIANT*>) {
        arg.vt = VT_BYREF | VT_VARIANT;
        arg.pvarVal = value;
    } else if constexpr (std::is_pointer_v<A> &&
                         std::is_base_of_v<IDispatch, std::remove_pointer_t<A>>) {
        arg.vt = VT_DISPATCH;
        arg.pdispVal = value;
    } else if constexpr (std::is_pointer_v<A> &&
                         std::is_base_of_v<IUnknown, std::remove_pointer_t<A>>) {
        arg.vt = VT_UNKNOWN;
        arg.punkVal = value;
    } else if constexpr (std::is_same_v<A, bool>) {
        arg.vt = VT_BOOL;
        arg.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    } else if constexpr (std::is_same_v<A, VARIANT_BOOL*>) {
        arg.vt = VT_BYREF | VT_BOOL;
        arg.pboolVal = value;
    } else if constexpr (std::is_same_v<A, SHORT>) {
        arg.vt = VT_I2;
        arg.iVal = value;
    } else if constexpr (std::is_same_v<A, LONG>) {
        arg.vt = VT_I4;
        arg.lVal = value;
    } else if constexpr (std::is_same_v<A, LONG*>) {
        arg.vt = VT_BYREF | VT_I4;
        arg.plVal = value;
    } else if constexpr (std::is_same_v<A, ULONG>) {
        arg.vt = VT_UI4;
        arg.ulVal = value;
    } else if constexpr (std::is_same_v<A, DOUBLE>) {
        arg.vt = VT_R8;
        arg.dblVal = value;
    } else if constexpr (std::is_same_v<A, DOUBLE*>) {
        arg.vt = VT_BYREF | VT_R8;
        arg.pdblVal = value;
    } else if constexpr (std::is_same_v<A, BSTR>) {
        arg.vt = VT_BSTR;
        arg.bstrVal = value;
    } else if constexpr (std::is_same_v<A, BSTR*>) {
        arg.vt = VT_BYREF | VT_BSTR;
        arg.pbstrVal = value;
    } else if constexpr (std::is_same_v<A, IDispatch**>) {
        arg.vt = VT_BYREF | VT_DISPATCH;
        arg.ppdispVal = value;
    } else {
        static_assert(kAlwaysFalse<A>,
                      "not an event argument type; pass a VARIANT for other types (text must be "
                      "a BSTR, null objects a typed null pointer)");
    }
    return arg;
}

// Builds the DISPPARAMS of an event, arguments in reverse order as
// IDispatch::Invoke takes them, and fires it.
template <class... Args>
HRESULT FireWithArguments(ConnectionPoint& point, DISPID dispid, Args... args) {
    constexpr size_t count = sizeof...(Args);
    if constexpr (count == 0) {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        return point.Fire(dispid, &none);
    } else {
        const std::array<VARIANTARG, count> inOrder{EventArgument<Args>(args)...};
        std::array<VARIANTARG, count> reversed;
        for (size_t i = 0; i < count; ++i)
            reversed[i] = inOrder[count - 1 - i];
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(count), 0};
        return point.Fire(dispid, &params);
    }
}

}  // namespace detail

// Finds a connection point of the owning class by its interface.
template <const IID* piid>
class _ICPLocator {
  public:
    virtual detail::ConnectionPoint* _LocCP() = 0;

  protected:
    ~_ICPLocator() = default;
};

// One outgoing interface of T. T derives from IConnectionPointContainerImpl<T>
// and names the interface in its connection point map. With more than one
// connection point, FireEvent is called through the base that fires:
// IConnectionPointImpl<T, &iid>::FireEvent(...).
template <class T, const IID* piid>
class IConnectionPointImpl : public _ICPLocator<piid> {
  public:
    IConnectionPointImpl() = default;
    IConnectionPointImpl(const IConnectionPointImpl&) = delete;
    IConnectionPointImpl& operator=(const IConnectionPointImpl&) = delete;

    detail::ConnectionPoint* _LocCP() override {
        m_point.SetContainer(static_cast<IConnectionPointContainer*>(static_cast<T*>(this)));
        return &m_point;
    }

    // Fires event `dispid` of the interface at every advised sink, with the
    // arguments in their declared order (see detail::EventArgument).
    template <class... Args>
    HRESULT FireEvent(DISPID dispid, Args... args) {
        // Sinks only connect through _LocCP, which names the container the
        // firing keeps alive; without sinks there is nothing to reach.
        return detail::FireWithArguments(m_point, dispid, args...);
    }
    // Drops every advised sink (the source is going away).
    void DisconnectSinks() { m_point.DisconnectAll(); }

  protected:
    ~IConnectionPointImpl() = default;

  private:
    detail::ConnectionPoint m_point{*piid};
};

template <class T>
struct _ATL_CONNMAP_ENTRY {
    detail::ConnectionPoint* (*pfnLocate)(T* owner);  // null ends the map
};

namespace detail {
template <class T, const IID* piid>
ConnectionPoint* LocateConnectionPoint(T* owner) {
    return static_cast<_ICPLocator<piid>*>(owner)->_LocCP();
}
}  // namespace detail

// The container side: finds and enumerates the connection points that T's
// connection point map lists, in the map's order.
template <class T>
class IConnectionPointContainerImpl : public IConnectionPointContainer {
  public:
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override {
        if (ppEnum == nullptr)
            return E_POINTER;
        auto snapshot = std::make_shared<detail::Snapshot<IConnectionPoint*>>();
        for (const _ATL_CONNMAP_ENTRY<T>* entry = T::GetConnMap(nullptr);
             entry->pfnLocate != nullptr; ++entry) {
            IConnectionPoint* point = entry->pfnLocate(static_cast<T*>(this));
            point->AddRef();
            snapshot->items.push_back(point);
        }
        return detail::SnapshotEnum<IEnumConnectionPoints, IConnectionPoint*>::Create(
            std::move(snapshot), ppEnum);
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override {
        if (ppCP == nullptr)
            return E_POINTER;
        *ppCP = nullptr;
        for (const _ATL_CONNMAP_ENTRY<T>* entry = T::GetConnMap(nullptr);
             entry->pfnLocate != nullptr; ++entry) {
            detail::ConnectionPoint* point = entry->pfnLocate(static_cast<T*>(this));
            if (point->Interface() == riid) {
                point->AddRef();
                *ppCP = point;
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }

  protected:
    ~IConnectionPointContainerImpl() = default;
};

namespace detail {
// The connection point of `iid` on the source `pUnkCP`.
inline HRESULT FindSourcePoint(IUnknown* pUnkCP, const IID& iid, Ref<IConnectionPoint>& point) {
    if (pUnkCP == nullptr)
        return E_INVALIDARG;
    IConnectionPointContainer* container = nullptr;
    HRESULT hr =
        pUnkCP->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    if (FAILED(hr))
        return hr;
    IConnectionPoint* found = nullptr;
    hr = Ref<IConnectionPointContainer>::Adopt(container)->FindConnectionPoint(iid, &found);
    point = Ref<IConnectionPoint>::Adopt(found);
    return hr;
}
}  // namespace detail

// Connects `pUnk` as a sink of interface `iid` to the source `pUnkCP`; the
// connection point writes the cookie (0 when it refuses the sink).
inline HRESULT AtlAdvise(IUnknown* pUnkCP, IUnknown* pUnk, const IID& iid, LPDWORD pdw) {
    detail::Ref<IConnectionPoint> point;
    const HRESULT hr = detail::FindSourcePoint(pUnkCP, iid, point);
    return FAILED(hr) ? hr : point->Advise(pUnk, pdw);
}

inline HRESULT AtlUnadvise(IUnknown* pUnkCP, const IID& iid, DWORD dw) {
    detail::Ref<IConnectionPoint> point;
    const HRESULT hr = detail::FindSourcePoint(pUnkCP, iid, point);
    return FAILED(hr) ? hr : point->Unadvise(dw);
}

}  // namespace ATL

#ifndef _ATL_NO_AUTOMATIC_NAMESPACE
using namespace ATL;
#endif

#define BEGIN_CONNECTION_POINT_MAP(x)                                       \
    typedef x _atl_conn_classtype;                                          \
    static const ::ATL::_ATL_CONNMAP_ENTRY<x>* GetConnMap(int* pnEntries) { \
        static const ::ATL::_ATL_CONNMAP_ENTRY<x> _entries[] = {
#define CONNECTION_POINT_ENTRY(iid) \
    {&::ATL::detail::LocateConnectionPoint<_atl_conn_classtype, &(iid)>},
#define END_CONNECTION_POINT_MAP()                                                 \
    { nullptr }                                                                    \
    }                                                                              \
    ;                                                                              \
    if (pnEntries != nullptr)                                                      \
        *pnEntries = static_cast<int>(sizeof(_entries) / sizeof(_entries[0]) - 1); \
    return _entries;                                                               \
    }
