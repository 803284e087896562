// Dispatch event sinks in ATL's shapes: IDispEventSimpleImpl and the sink
// map.
//
//     class CWatcher : public IDispEventSimpleImpl<1, CWatcher, &__uuidof(ButtonEvents)>,
//                      public IDispEventSimpleImpl<2, CWatcher, &__uuidof(ButtonEvents)> {
//       public:
//         void __stdcall OnFirstClick(IDispatch* button, VARIANT_BOOL* cancel);
//         void __stdcall OnSecondClick(IDispatch* button, VARIANT_BOOL* cancel);
//         static _ATL_FUNC_INFO ClickInfo;  // {CC_STDCALL, VT_EMPTY, 2, {VT_DISPATCH, VT_BYREF |
//         VT_BOOL}}
//
//         BEGIN_SINK_MAP(CWatcher)
//             SINK_ENTRY_INFO(1, __uuidof(ButtonEvents), 1, &CWatcher::OnFirstClick, &ClickInfo)
//             SINK_ENTRY_INFO(2, __uuidof(ButtonEvents), 1, &CWatcher::OnSecondClick, &ClickInfo)
//         END_SINK_MAP()
//     };
//
// Each IDispEventSimpleImpl base is a sink of its own, a separate COM
// identity to the source, advised with DispEventAdvise and keeping its own
// cookie. The source's Invoke reaches the handler that the map names for the
// base's identifier, the event interface and the DISPID. Handlers are named
// in the standard form &Class::Member; their signature is read at compile
// time and the call is generated, with the arguments taken from the
// DISPPARAMS as the function info declares them.
#pragma once

#include "atlconnect.h"
#include "comutil.h"
#include "variant_source.h"

#include <cstddef>
#include <type_traits>
#include <utility>

#define _ATL_MAX_VARTYPES 8

namespace ATL {

struct _ATL_FUNC_INFO {
    CALLCONV cc;
    VARTYPE vtReturn;
    SHORT nParams;
    VARTYPE pVarTypes[_ATL_MAX_VARTYPES];
};

// The handler call that SINK_ENTRY_INFO generates: checks and converts the
// arguments and calls the member function.
template <class T>
using _ATL_SINK_CALL = HRESULT (*)(T* owner, const _ATL_FUNC_INFO& info, DISPPARAMS* params,
                                   VARIANT* result, UINT* argErr);

template <class T>
struct _ATL_EVENT_ENTRY {
    UINT nControlID;
    const IID* piid;  // null ends the map
    DISPID dispid;
    _ATL_SINK_CALL<T> pfnCall;
    const _ATL_FUNC_INFO* pInfo;
};

namespace detail {

// Raised when a sink that is still connected is advised again.
[[noreturn]] inline void RaiseDispEventError(HRESULT hr) {
    _com_issue_error(hr);
}

// The VARTYPE a C++ parameter type stands for; VT_ILLEGAL for types a
// handler cannot take. Pointers to values are by-reference parameters;
// VARIANT_BOOL* (a SHORT*) is read as the by-reference BOOL of a Cancel.
template <class P>
constexpr VARTYPE VarTypeOf() {
    using U = std::remove_cv_t<P>;
    if constexpr (std::is_same_v<U, VARIANT>) {
        return VT_VARIANT;
    } else if constexpr (std::is_pointer_v<U>) {
        using X = std::remove_cv_t<std::remove_pointer_t<U>>;
        if constexpr (std::is_base_of_v<IDispatch, X>)
            return VT_DISPATCH;
        else if constexpr (std::is_same_v<X, IUnknown>)
            return VT_UNKNOWN;
        else if constexpr (std::is_same_v<X, OLECHAR>)
            return VT_BSTR;
        else if constexpr (std::is_same_v<X, SHORT>)
            return VT_BYREF | VT_BOOL;
        else if constexpr (VarTypeOf<X>() == VT_ILLEGAL || (VarTypeOf<X>() & VT_BYREF))
            return VT_ILLEGAL;
        else
            return VT_BYREF | VarTypeOf<X>();
    } else if constexpr (std::is_same_v<U, SHORT>) {
        return VT_I2;
    } else if constexpr (std::is_same_v<U, LONG>) {
        return VT_I4;
    } else if constexpr (std::is_same_v<U, ULONG>) {
        return VT_UI4;
    } else if constexpr (std::is_same_v<U, DOUBLE>) {
        return VT_R8;
    } else if constexpr (std::is_same_v<U, FLOAT>) {
        return VT_R4;
    } else {
        return VT_ILLEGAL;
    }
}

// Types that share one storage in a VARIANT read alike.
constexpr VARTYPE StorageOf(VARTYPE vt) {
    const VARTYPE byref = vt & VT_BYREF;
    switch (vt & ~VT_BYREF) {
        case VT_BOOL:
            return byref | VT_I2;
        case VT_INT:
        case VT_ERROR:
            return byref | VT_I4;
        case VT_UINT:
            return byref | VT_UI4;
        case VT_DATE:
            return byref | VT_R8;
        default:
            return vt;
    }
}

// Whether a parameter of type P can take an argument declared as `vt`.
template <class P>
constexpr bool Fits(VARTYPE vt) {
    if constexpr (std::is_same_v<std::remove_cv_t<P>, IUnknown*>) {
        if (vt == VT_DISPATCH)
            return true;
    }
    return StorageOf(vt) == StorageOf(VarTypeOf<P>());
}

// The value of an argument that holds the declared type.
template <class P>
P ValueOf(VARIANT& v) {
    using U = std::remove_cv_t<P>;
    if constexpr (std::is_same_v<U, VARIANT>) {
        return v;
    } else if constexpr (std::is_pointer_v<U>) {
        using X = std::remove_cv_t<std::remove_pointer_t<U>>;
        if constexpr (std::is_base_of_v<IDispatch, X>)
            return static_cast<P>(v.pdispVal);
        else if constexpr (std::is_same_v<X, IUnknown>)
            return v.vt == VT_DISPATCH ? static_cast<IUnknown*>(v.pdispVal) : v.punkVal;
        else if constexpr (std::is_same_v<X, OLECHAR>)
            return v.bstrVal;
        else
            return static_cast<P>(v.byref);
    } else if constexpr (std::is_same_v<U, SHORT>) {
        return v.vt == VT_BOOL ? v.boolVal : v.iVal;
    } else if constexpr (std::is_same_v<U, LONG>) {
        return v.vt == VT_ERROR ? v.scode : v.vt == VT_INT ? v.intVal : v.lVal;
    } else if constexpr (std::is_same_v<U, ULONG>) {
        return v.vt == VT_UINT ? v.uintVal : v.ulVal;
    } else if constexpr (std::is_same_v<U, DOUBLE>) {
        return v.vt == VT_DATE ? v.date : v.dblVal;
    } else {
        static_assert(std::is_same_v<U, FLOAT>);
        return v.fltVal;
    }
}

// Puts a handler's return value into the result as the declared type.
template <class R>
void StoreResult(VARIANT* result, VARTYPE vt, R value) {
    if (result == nullptr || vt == VT_EMPTY || vt == VT_VOID)
        return;
    VariantClear(result);
    if constexpr (std::is_same_v<R, VARIANT>) {
        *result = value;
        return;
    } else {
        VARIANT stored;
        VariantInit(&stored);
        stored.vt = vt;
        if constexpr (std::is_same_v<R, SHORT>) {
            stored.iVal = value;
        } else if constexpr (std::is_same_v<R, LONG>) {
            stored.lVal = value;
        } else if constexpr (std::is_same_v<R, ULONG>) {
            stored.ulVal = value;
        } else if constexpr (std::is_same_v<R, DOUBLE>) {
            stored.dblVal = value;
        } else {
            static_assert(std::is_same_v<R, FLOAT>, "handlers return void or a plain value");
            stored.fltVal = value;
        }
        *result = stored;
    }
}

// The arguments of one call, in declared order, each holding its declared
// type: the caller's VARIANTARG itself when it already does, else a
// coerced copy that is cleared after the call.
template <size_t N>
class PreparedArguments {
  public:
    PreparedArguments() {
        for (VARIANT& v : m_values)
            VariantInit(&v);
    }
    PreparedArguments(const PreparedArguments&) = delete;
    PreparedArguments& operator=(const PreparedArguments&) = delete;
    ~PreparedArguments() {
        for (size_t i = 0; i < N; ++i) {
            if (m_owned[i])
                VariantClear(&m_values[i]);
        }
    }

    // By-reference arguments and VARIANTs must come as declared; values are
    // coerced as IDispatch implementations coerce them.
    HRESULT Prepare(const _ATL_FUNC_INFO& info, const DISPPARAMS& params, UINT* argErr) {
        for (size_t i = 0; i < N; ++i) {
            const size_t position = N - 1 - i;  // arguments come in reverse order
            const VARIANTARG& given = params.rgvarg[position];
            const VARTYPE declared = info.pVarTypes[i];
            if (given.vt == declared || declared == VT_VARIANT) {
                m_values[i] = given;
                continue;
            }
            if ((declared & VT_BYREF) == 0 &&
                SUCCEEDED(VariantChangeType(&m_values[i], BvVariantSource(&given), 0, declared))) {
                m_owned[i] = true;
                continue;
            }
            if (argErr != nullptr)
                *argErr = static_cast<UINT>(position);
            return DISP_E_TYPEMISMATCH;
        }
        return S_OK;
    }
    VARIANT& operator[](size_t i) { return m_values[i]; }

  private:
    VARIANT m_values[N > 0 ? N : 1];
    bool m_owned[N > 0 ? N : 1] = {};
};

template <class... A>
struct TypeList {};

template <class F>
struct HandlerTraits;
template <class R, class C, class... A>
struct HandlerTraits<R (C::*)(A...)> {
    using Result = R;
    using Class = C;
    using Arguments = TypeList<A...>;
};
template <class R, class C, class... A>
struct HandlerTraits<R (C::*)(A...) noexcept> : HandlerTraits<R (C::*)(A...)> {};
#if defined(_WIN32) && defined(__i386__)
// Handlers are __stdcall, as ATL's sinks call them; on 32-bit Windows that is a
// calling convention of its own, and part of the member function's type.
template <class R, class C, class... A>
struct HandlerTraits<R (__stdcall C::*)(A...)> : HandlerTraits<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct HandlerTraits<R (__stdcall C::*)(A...) noexcept> : HandlerTraits<R (C::*)(A...)> {};
#endif

template <class T, auto Fn, class R, class C, class Arguments>
struct SinkCall;

template <class T, auto Fn, class R, class C, class... A>
struct SinkCall<T, Fn, R, C, TypeList<A...>> {
    static constexpr size_t kCount = sizeof...(A);
    static_assert(std::is_base_of_v<C, T>, "the handler must be a member of the sink's class");
    static_assert(kCount <= _ATL_MAX_VARTYPES, "too many event arguments");
    static_assert(((VarTypeOf<A>() != VT_ILLEGAL) && ...),
                  "a handler parameter has no automation type");

    // Whether the function info describes this handler.
    static bool Matches(const _ATL_FUNC_INFO& info) {
        if (info.nParams != static_cast<SHORT>(kCount) ||
            !ArgumentsFit(info, std::index_sequence_for<A...>{}))
            return false;
        if constexpr (std::is_void_v<R>)
            return true;
        else
            return info.vtReturn == VT_EMPTY || info.vtReturn == VT_VOID || Fits<R>(info.vtReturn);
    }
    template <size_t... I>
    static bool ArgumentsFit(const _ATL_FUNC_INFO& info, std::index_sequence<I...>) {
        return (Fits<A>(info.pVarTypes[I]) && ...);
    }

    static HRESULT Call(T* owner, const _ATL_FUNC_INFO& info, DISPPARAMS* params, VARIANT* result,
                        UINT* argErr) {
        // A map entry whose info does not describe its handler cannot be
        // called safely.
        if (!Matches(info))
            return DISP_E_BADCALLEE;
        if (params->cArgs != kCount)
            return DISP_E_BADPARAMCOUNT;
        PreparedArguments<kCount> arguments;
        const HRESULT hr = arguments.Prepare(info, *params, argErr);
        if (FAILED(hr))
            return hr;
        CallWith(static_cast<C*>(owner), info, result, arguments, std::index_sequence_for<A...>{});
        return S_OK;
    }

    template <size_t... I>
    static void CallWith(C* target, const _ATL_FUNC_INFO& info, VARIANT* result,
                         PreparedArguments<kCount>& arguments, std::index_sequence<I...>) {
        if constexpr (std::is_void_v<R>)
            (target->*Fn)(ValueOf<A>(arguments[I])...);
        else
            StoreResult<R>(result, info.vtReturn, (target->*Fn)(ValueOf<A>(arguments[I])...));
    }
};

template <class T, auto Fn>
HRESULT CallSinkHandler(T* owner, const _ATL_FUNC_INFO& info, DISPPARAMS* params, VARIANT* result,
                        UINT* argErr) {
    using Traits = HandlerTraits<decltype(Fn)>;
    return SinkCall<T, Fn, typename Traits::Result, typename Traits::Class,
                    typename Traits::Arguments>::Call(owner, info, params, result, argErr);
}

// The function info a handler's signature implies, for SINK_ENTRY_EX.
template <class R, class... A>
constexpr _ATL_FUNC_INFO FuncInfoFor(TypeList<A...>) {
    return {CC_STDCALL,
            std::is_void_v<R> ? VARTYPE(VT_EMPTY) : VarTypeOf<R>(),
            static_cast<SHORT>(sizeof...(A)),
            {VarTypeOf<A>()...}};
}
template <auto Fn>
inline constexpr _ATL_FUNC_INFO kFuncInfoOf =
    FuncInfoFor<typename HandlerTraits<decltype(Fn)>::Result>(
        typename HandlerTraits<decltype(Fn)>::Arguments{});

}  // namespace detail

// What every sink has, whatever its identifier and interface.
class _IDispEvent {
  public:
    _IDispEvent() = default;
    _IDispEvent(const _IDispEvent&) = delete;
    _IDispEvent& operator=(const _IDispEvent&) = delete;

    GUID m_libid = GUID_NULL;
    IID m_iid = IID_NULL;  // the interface the sink was last advised for
    unsigned short m_wMajorVerNum = 0;
    unsigned short m_wMinorVerNum = 0;
    DWORD m_dwEventCookie = 0xFEFEFEFE;  // this value: not connected

    // Connects the sink to the source's connection point for *piid. A sink
    // that is still connected cannot be connected again: that raises
    // E_FAIL. A refused connection leaves the cookie the connection point
    // wrote (0), as it stands, until DispEventUnadvise.
    HRESULT DispEventAdvise(IUnknown* pUnk, const IID* piid) {
        if (m_dwEventCookie != 0xFEFEFEFE)
            detail::RaiseDispEventError(E_FAIL);
        m_iid = *piid;
        return AtlAdvise(pUnk, _LocDEUnknown(), *piid, &m_dwEventCookie);
    }
    // Disconnects with the stored cookie; the sink counts as disconnected
    // afterwards whatever the source answered (CONNECT_E_NOCONNECTION when it
    // did not know the cookie).
    HRESULT DispEventUnadvise(IUnknown* pUnk, const IID* piid) {
        const HRESULT hr = AtlUnadvise(pUnk, *piid, m_dwEventCookie);
        m_dwEventCookie = 0xFEFEFEFE;
        return hr;
    }

  protected:
    ~_IDispEvent() = default;
    // The sink object the source holds.
    virtual IUnknown* _LocDEUnknown() = 0;
};

template <UINT nID, const IID* piid>
class _IDispEventLocator : public _IDispEvent {
  protected:
    ~_IDispEventLocator() = default;
};

template <UINT nID, class T, const IID* pdiid>
class IDispEventSimpleImpl : public _IDispEventLocator<nID, pdiid> {
  public:
    HRESULT DispEventAdvise(IUnknown* pUnk, const IID* piid = pdiid) {
        return _IDispEvent::DispEventAdvise(pUnk, piid);
    }
    HRESULT DispEventUnadvise(IUnknown* pUnk, const IID* piid = pdiid) {
        return _IDispEvent::DispEventUnadvise(pUnk, piid);
    }

  protected:
    ~IDispEventSimpleImpl() = default;
    IUnknown* _LocDEUnknown() override { return &m_sink; }

  private:
    // The sink's COM identity: answers IUnknown, IDispatch and the event
    // interface. It is a member rather than a base so that the owner's own
    // QueryInterface does not take its place.
    class Sink final : public IDispatch {
      public:
        explicit Sink(IDispEventSimpleImpl& events) noexcept : m_events(events) {}
        Sink(const Sink&) = delete;
        Sink& operator=(const Sink&) = delete;

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
            if (ppv == nullptr)
                return E_POINTER;
            if (riid == IID_IUnknown || riid == IID_IDispatch || riid == *pdiid ||
                (m_events.m_iid != IID_NULL && riid == m_events.m_iid)) {
                *ppv = static_cast<IDispatch*>(this);
                AddRef();
                return S_OK;
            }
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        // As ATL's simple sinks, a sink owns nothing: the source's references
        // do not keep the owner alive, so the owner unadvises before it goes.
        ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }

        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
            if (pctinfo != nullptr)
                *pctinfo = 0;
            return E_NOTIMPL;
        }
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
            if (ppTInfo != nullptr)
                *ppTInfo = nullptr;
            return E_NOTIMPL;
        }
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
            return E_NOTIMPL;
        }
        // An event without a map entry is accepted and ignored.
        HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID, LCID, WORD,
                                         DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO*,
                                         UINT* puArgErr) override {
            const _ATL_EVENT_ENTRY<T>* entry = T::_GetSinkMap();
            while (entry->piid != nullptr &&
                   !(entry->nControlID == nID && entry->dispid == dispIdMember &&
                     *entry->piid == *pdiid))
                ++entry;
            if (entry->piid == nullptr || entry->pInfo == nullptr)
                return S_OK;
            if (pDispParams == nullptr)
                return E_INVALIDARG;
            return entry->pfnCall(Owner(), *entry->pInfo, pDispParams, pVarResult, puArgErr);
        }

      private:
        T* Owner() const noexcept { return static_cast<T*>(&m_events); }

        IDispEventSimpleImpl& m_events;
    };

    Sink m_sink{*this};
};

}  // namespace ATL

#ifndef _ATL_NO_AUTOMATIC_NAMESPACE
using namespace ATL;
#endif

#define BEGIN_SINK_MAP(_class)                                    \
    typedef _class _atl_event_classtype;                          \
    static const ::ATL::_ATL_EVENT_ENTRY<_class>* _GetSinkMap() { \
        static const ::ATL::_ATL_EVENT_ENTRY<_class> map[] = {
// `fn` is &Class::Member; `info` points at the event's _ATL_FUNC_INFO.
#define SINK_ENTRY_INFO(id, iid, dispid, fn, info) \
    {id, &(iid), dispid, &::ATL::detail::CallSinkHandler<_atl_event_classtype, fn>, info},
// As SINK_ENTRY_INFO, with the function info read from the handler's
// signature.
#define SINK_ENTRY_EX(id, iid, dispid, fn)                                          \
    {id, &(iid), dispid, &::ATL::detail::CallSinkHandler<_atl_event_classtype, fn>, \
     &::ATL::detail::kFuncInfoOf<fn>},
#define END_SINK_MAP()                  \
    { 0, nullptr, 0, nullptr, nullptr } \
    }                                   \
    ;                                   \
    return map;                         \
    }
