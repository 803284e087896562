// Proxies for calls between apartments. Not a Windows API: the stand-ins use it
// to give their interfaces the proxies that Windows builds from registered
// proxy/stub code.
//
// An object of a single-threaded apartment that is unmarshalled in another
// apartment is reached through a link: each interface of the object that the
// caller asks for gets a proxy from the factory registered for its IID, and
// every proxied call runs on the object's thread while the caller waits.
// IUnknown and IDispatch have proxies built in; an interface without one
// cannot be marshalled (E_NOINTERFACE), as on Windows.
//
// A forwarding proxy for a vtable interface, one line per method:
//
//   class ItemsProxy : public platform::com::DispatchProxy<Outlook::_Items> {
//     public:
//       using DispatchProxy::DispatchProxy;
//       STDMETHODIMP get_Count(long* count) override {
//           return Forward(&Outlook::_Items::get_Count, count);
//       }
//       STDMETHODIMP Item(VARIANT index, Outlook::_MailItem** item) override {
//           return Forward(&Outlook::_Items::Item, index, item);
//       }
//   };
//   platform::com::RegisterProxy<ItemsProxy, Outlook::_Items>();   // once, at start
//
// Forward carries the arguments across: interface pointers that come back
// (I** out parameters, interfaces in VARIANT* results) become proxies for the
// caller, and interface pointers that the caller passes in (I*, VARIANT by
// value) go to the object as proxies back into the caller's apartment when the
// caller is a single-threaded apartment. Other arguments are passed as they
// are: the apartments share one address space.
#pragma once

#include <oaidl.h>
#include <objbase.h>

#include <deque>
#include <functional>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace platform::com {

// The link between the proxies of one object and the object.
class ProxyLink {
  public:
    // The object's identity: QueryInterface gives the proxies.
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // Runs `call` on the object's thread; the caller waits and meanwhile
    // serves calls into its own apartment. RPC_E_DISCONNECTED when the object's
    // apartment has closed.
    virtual HRESULT Run(const std::function<HRESULT()>& call) = 0;

  protected:
    ~ProxyLink() = default;
};

class InterfaceProxyBase {
  public:
    virtual ~InterfaceProxyBase() = default;
    virtual IUnknown* Interface() = 0;
};

using ProxyFactory = std::unique_ptr<InterfaceProxyBase> (*)(ProxyLink& link, IUnknown* target);

// Registers the proxy of interface `iid`; a later registration replaces an
// earlier one. Process-wide.
void RegisterProxyFactory(REFIID iid, ProxyFactory factory);
bool HasProxyFactory(REFIID iid);

// On the object's thread: whether `object` may be used from any apartment as it
// is, because it aggregates the free-threaded marshaler.
bool IsFreeThreaded(IUnknown* object);

// On the caller's thread, after a call through `link` returned `*object` (one
// reference, an interface `iid` living in the link's apartment): replaces it by
// a proxy that takes the reference over, unless `freeThreaded`. Without a
// proxy for `iid` the object is released, *object set to null, and
// E_NOINTERFACE returned.
HRESULT ImportThroughLink(ProxyLink& link, REFIID iid, IUnknown** object, bool freeThreaded);

// On the caller's thread, before a call through `link`: the caller's `object`
// as the callee may use it, with one reference for the caller to release after
// the call. A proxy into the caller's apartment when the caller is a
// single-threaded apartment and the object is not free-threaded; null (with
// `*result` E_NOINTERFACE) when such an object's interface has no proxy.
IUnknown* ExportForCall(REFIID iid, IUnknown* object, HRESULT* result);

namespace detail {

template <class T>
constexpr bool IsInterface = std::is_base_of_v<IUnknown, T> && !std::is_const_v<T>;

// How one argument is carried across: Prepare runs on the object's thread
// after the call, Finish on the caller's thread after Run.
template <class T, class = void>
struct Carrier {
    explicit Carrier(T value) : value(value) {}
    T Get() { return value; }
    HRESULT Start() { return S_OK; }
    void Prepare(HRESULT) {}
    HRESULT Finish(ProxyLink&, HRESULT result) { return result; }
    T value;
};

// An interface passed in.
template <class I>
struct Carrier<I*, std::enable_if_t<IsInterface<I>>> {
    explicit Carrier(I* value) : original(value) {}
    ~Carrier() {
        if (carried)
            carried->Release();
    }
    HRESULT Start() {
        if (!original)
            return S_OK;
        HRESULT result = S_OK;
        carried = ExportForCall(__uuidof(I), original, &result);
        return result;
    }
    I* Get() { return static_cast<I*>(carried); }
    void Prepare(HRESULT) {}
    HRESULT Finish(ProxyLink&, HRESULT result) { return result; }
    I* original;
    IUnknown* carried = nullptr;
};

// An interface given back.
template <class I>
struct Carrier<I**, std::enable_if_t<IsInterface<I>>> {
    explicit Carrier(I** slot) : slot(slot) {}
    HRESULT Start() { return S_OK; }
    I** Get() { return slot; }
    void Prepare(HRESULT result) {
        freeThreaded = SUCCEEDED(result) && slot && *slot && IsFreeThreaded(*slot);
    }
    HRESULT Finish(ProxyLink& link, HRESULT result) {
        if (FAILED(result) || !slot || !*slot)
            return result;
        auto* object = static_cast<IUnknown*>(*slot);
        const HRESULT imported = ImportThroughLink(link, __uuidof(I), &object, freeThreaded);
        *slot = static_cast<I*>(object);
        return FAILED(imported) ? imported : result;
    }
    I** slot;
    bool freeThreaded = false;
};

// A VARIANT passed in: an interface in it goes across as for I*.
template <>
struct Carrier<VARIANT> {
    explicit Carrier(VARIANT value) : value(value) {}
    ~Carrier() {
        if (carried)
            carried->Release();
    }
    HRESULT Start() {
        const VARTYPE type = V_VT(&value);
        if ((type != VT_DISPATCH && type != VT_UNKNOWN) || !V_UNKNOWN(&value))
            return S_OK;
        HRESULT result = S_OK;
        carried = ExportForCall(type == VT_DISPATCH ? __uuidof(IDispatch) : __uuidof(IUnknown),
                                V_UNKNOWN(&value), &result);
        V_UNKNOWN(&value) = carried;
        return result;
    }
    VARIANT Get() { return value; }
    void Prepare(HRESULT) {}
    HRESULT Finish(ProxyLink&, HRESULT result) { return result; }
    VARIANT value;
    IUnknown* carried = nullptr;
};

// A VARIANT given back: an interface the callee put in it comes back as for I**.
template <>
struct Carrier<VARIANT*> {
    explicit Carrier(VARIANT* slot) : slot(slot), before(slot ? *slot : VARIANT{}) {}
    HRESULT Start() { return S_OK; }
    VARIANT* Get() { return slot; }
    bool Written() const {
        if (!slot || (V_VT(slot) != VT_DISPATCH && V_VT(slot) != VT_UNKNOWN) || !V_UNKNOWN(slot))
            return false;
        return V_VT(&before) != V_VT(slot) || V_UNKNOWN(&before) != V_UNKNOWN(slot);
    }
    void Prepare(HRESULT result) {
        freeThreaded = SUCCEEDED(result) && Written() && IsFreeThreaded(V_UNKNOWN(slot));
    }
    HRESULT Finish(ProxyLink& link, HRESULT result) {
        if (FAILED(result) || !Written())
            return result;
        const IID& iid = V_VT(slot) == VT_DISPATCH ? __uuidof(IDispatch) : __uuidof(IUnknown);
        IUnknown* object = V_UNKNOWN(slot);
        const HRESULT imported = ImportThroughLink(link, iid, &object, freeThreaded);
        V_UNKNOWN(slot) = object;
        if (!object)
            V_VT(slot) = VT_EMPTY;
        return FAILED(imported) ? imported : result;
    }
    VARIANT* slot;
    VARIANT before;
    bool freeThreaded = false;
};

}  // namespace detail

// Runs `method` of `target`, an object behind `link`, on the object's thread
// with the caller's arguments carried across (see Carrier): what a proxy's
// member does.
template <class Base, class... Params, class... Args>
HRESULT ForwardCall(ProxyLink& link, Base* target,
                    HRESULT (STDMETHODCALLTYPE Base::*method)(Params...), Args&&... args) {
    std::tuple<detail::Carrier<Params>...> carriers(static_cast<Params>(args)...);
    HRESULT started = S_OK;
    std::apply(
        [&](auto&... carrier) {
            ((SUCCEEDED(started) ? (void)(started = carrier.Start()) : (void)0), ...);
        },
        carriers);
    if (FAILED(started))
        return started;
    HRESULT result = link.Run([&] {
        const HRESULT called = std::apply(
            [&](auto&... carrier) { return (target->*method)(carrier.Get()...); }, carriers);
        std::apply([&](auto&... carrier) { (carrier.Prepare(called), ...); }, carriers);
        return called;
    });
    std::apply([&](auto&... carrier) { ((result = carrier.Finish(link, result)), ...); }, carriers);
    return result;
}

// IDispatch::Invoke of `target` behind `link`: the arguments go across as a
// copy whose interface arguments are carried like a VARIANT passed in; the
// result comes back like a VARIANT* written.
HRESULT ForwardInvoke(ProxyLink& link, IDispatch* target, DISPID member, REFIID iid, LCID lcid,
                      WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                      UINT* argumentError);

// The base of a forwarding proxy for interface I: IUnknown goes to the link
// (one identity and one reference count for all the object's proxies),
// Forward runs a method of the object on its thread.
template <class I>
class InterfaceProxy : public I, public InterfaceProxyBase {
  public:
    InterfaceProxy(ProxyLink& link, IUnknown* target)
        : m_link(link), m_target(static_cast<I*>(target)) {}

    IUnknown* Interface() override { return static_cast<I*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return m_link.QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_link.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_link.Release(); }

  protected:
    template <class Base, class... Params, class... Args>
    HRESULT Forward(HRESULT (STDMETHODCALLTYPE Base::*method)(Params...), Args&&... args) {
        static_assert(std::is_base_of_v<Base, I>, "the method must be one of the interface's");
        return ForwardCall(m_link, static_cast<Base*>(m_target), method,
                           std::forward<Args>(args)...);
    }

    ProxyLink& m_link;
    I* m_target;  // called only on the object's thread, inside Forward
};

// The base of a proxy for a dual interface: the IDispatch methods are forwarded,
// with interfaces among Invoke's arguments and result carried as Forward does.
template <class I>
class DispatchProxy : public InterfaceProxy<I> {
  public:
    using InterfaceProxy<I>::InterfaceProxy;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return this->Forward(&IDispatch::GetTypeInfoCount, count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        // Type information stays with its object: the pointer is handed over as it is.
        return this->m_link.Run([&] { return this->m_target->GetTypeInfo(index, lcid, info); });
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override {
        return this->m_link.Run(
            [&] { return this->m_target->GetIDsOfNames(iid, names, count, lcid, ids); });
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;
};

// Registers Proxy as the proxy of interface I (by __uuidof(I)).
template <class Proxy, class I>
void RegisterProxy() {
    RegisterProxyFactory(__uuidof(I), [](ProxyLink& link, IUnknown* target) {
        return std::unique_ptr<InterfaceProxyBase>(std::make_unique<Proxy>(link, target));
    });
}

template <class I>
HRESULT STDMETHODCALLTYPE DispatchProxy<I>::Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags,
                                                   DISPPARAMS* params, VARIANT* result,
                                                   EXCEPINFO* exception, UINT* argumentError) {
    return ForwardInvoke(this->m_link, this->m_target, member, iid, lcid, flags, params, result,
                         exception, argumentError);
}

}  // namespace platform::com
