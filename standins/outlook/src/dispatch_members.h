// The members of a dual interface as IDispatch reaches them: each entry names
// a vtable member by name, DISPID and kind, and carries the call that runs it
// from Invoke's arguments, as a type library's Invoke does. The entry is made
// from the pointer to the vtable member, so the argument types, their
// coercion and the result all follow from the interface's declaration:
//
//   Member<&Outlook::_NameSpace::GetDefaultFolder>(
//       L"GetDefaultFolder", DISPID_Outlook_NameSpace_GetDefaultFolder, DISPATCH_METHOD)
//
// The same entries give the interface's proxy its vtable (table_proxy.h).
#pragma once

#include <atlbase.h>
#include <oaidl.h>
#include <oleauto.h>
#include <platform/proxies.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <type_traits>
#include <utility>

namespace outlook::objects {

// What a proxy made from a member table is to its caller: an interface
// pointer whose vtable the table gave (table_proxy.h), and the object behind.
struct ProxyFace {
    const void* const* vtable;
    platform::com::ProxyLink* link;
    IUnknown* target;  // called only on the object's thread
};

struct DispatchMember {
    // The arguments are counted and positional: optional ones left out are
    // filled in as VT_ERROR/DISP_E_PARAMNOTFOUND; `argumentError` is set on a
    // type mismatch.
    using Call = HRESULT (*)(IDispatch* object, const DISPPARAMS& params, VARIANT* result,
                             UINT* argumentError);
    // The vtable slot of the member on its interface.
    using Slot = std::size_t (*)();
    // The proxy's forwarder of the member: the address of a STDMETHODCALLTYPE
    // function taking the proxy's ProxyFace and then the member's parameters.
    using Forwarder = const void* (*)();

    const wchar_t* name;
    DISPID id;
    WORD kind;       // DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT or DISPATCH_METHOD (or several)
    UINT arguments;  // the in-arguments as declared
    UINT optional;   // of them, the trailing ones a caller may leave out
    Call call;
    Slot slot;
    Forwarder forward;
};

namespace dispatch {

// The vtable slot that a pointer to a virtual member names, read from the
// pointer as the Itanium C++ ABI lays it out (GCC and Clang, on Linux and for
// MinGW): the byte offset into the vtable, plus one on x86 where the low bit
// marks a virtual member (ARM marks it in the adjustment instead).
template <class Method>
std::size_t VtableSlot(Method method) {
    static_assert(sizeof(Method) == 2 * sizeof(std::uintptr_t),
                  "a pointer to member of the Itanium C++ ABI");
    struct {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    } raw;
    std::memcpy(&raw, &method, sizeof raw);
#if defined(__arm__) || defined(__aarch64__)
    return raw.pointer / sizeof(void*);
#else
    return (raw.pointer - 1) / sizeof(void*);
#endif
}

template <class T>
constexpr bool IsInterfacePointer =
    std::is_pointer_v<T>&& std::is_base_of_v<IUnknown, std::remove_pointer_t<T>>;

// What a member gives back through its last parameter, or nothing.
template <class T>
constexpr bool IsResult = std::is_same_v<T, BSTR*> || std::is_same_v<T, LONG*> ||
                          std::is_same_v<T, int*> || std::is_same_v<T, VARIANT_BOOL*> ||
                          std::is_same_v<T, DATE*> || std::is_same_v<T, VARIANT*> ||
                          (std::is_pointer_v<T> && std::is_enum_v<std::remove_pointer_t<T>>) ||
                          (std::is_pointer_v<T> && IsInterfacePointer<std::remove_pointer_t<T>>);

// An argument of Invoke as the parameter type T (LONG, int or an
// enumeration, BSTR, VARIANT_BOOL, DATE): coerced as a type library coerces
// it, holding what the coercion made until the call returns.
template <class T>
struct Argument {
    static_assert(std::is_same_v<T, LONG> || std::is_same_v<T, int> || std::is_enum_v<T> ||
                      std::is_same_v<T, BSTR> || std::is_same_v<T, VARIANT_BOOL> ||
                      std::is_same_v<T, DATE>,
                  "a parameter type that Invoke coerces");
    static constexpr VARTYPE kType = std::is_same_v<T, BSTR>           ? VT_BSTR
                                     : std::is_same_v<T, VARIANT_BOOL> ? VT_BOOL
                                     : std::is_same_v<T, DATE>         ? VT_DATE
                                                                       : VT_I4;
    HRESULT From(const VARIANT& given) { return VariantChangeType(&value, &given, 0, kType); }
    T Get() const {
        if constexpr (kType == VT_BSTR)
            return V_BSTR(&value);
        else if constexpr (kType == VT_BOOL)
            return V_BOOL(&value);
        else if constexpr (kType == VT_DATE)
            return V_DATE(&value);
        else
            return static_cast<T>(V_I4(&value));
    }
    CComVariant value;
};
// A VARIANT parameter takes the argument as the caller gave it.
template <>
struct Argument<VARIANT> {
    HRESULT From(const VARIANT& given) {
        value = given;
        return S_OK;
    }
    VARIANT Get() const { return value; }
    VARIANT value{};
};
// An interface parameter takes an object (VT_DISPATCH or VT_UNKNOWN) that
// answers the interface, or nothing.
template <class I>
requires std::is_base_of_v<IUnknown, I>
struct Argument<I*> {
    HRESULT From(const VARIANT& given) {
        if (V_VT(&given) != VT_DISPATCH && V_VT(&given) != VT_UNKNOWN)
            return DISP_E_TYPEMISMATCH;
        if (!V_UNKNOWN(&given))
            return S_OK;
        const HRESULT answered =
            V_UNKNOWN(&given)->QueryInterface(__uuidof(I), reinterpret_cast<void**>(&value));
        return SUCCEEDED(answered) ? S_OK : DISP_E_TYPEMISMATCH;
    }
    I* Get() const { return value; }
    CComPtr<I> value;
};

// The member's result in Invoke's result, which takes it over (or, when the
// caller asked for none, frees it). What the result held before is not
// freed: it is an out-parameter, written over as a type library writes it.
template <class T>
struct Result {
    using Value = std::remove_pointer_t<T>;

    T Slot() { return &value; }
    void Give(VARIANT* result) {
        VARIANT out;
        VariantInit(&out);
        if constexpr (std::is_same_v<Value, VARIANT>) {
            out = value;
        } else if constexpr (std::is_same_v<Value, BSTR>) {
            V_VT(&out) = VT_BSTR;
            V_BSTR(&out) = value;
        } else if constexpr (std::is_same_v<Value, LONG> || std::is_same_v<Value, int> ||
                             std::is_enum_v<Value>) {
            V_VT(&out) = VT_I4;
            V_I4(&out) = static_cast<LONG>(value);
        } else if constexpr (std::is_same_v<Value, VARIANT_BOOL>) {
            V_VT(&out) = VT_BOOL;
            V_BOOL(&out) = value != VARIANT_FALSE ? VARIANT_TRUE : VARIANT_FALSE;
        } else if constexpr (std::is_same_v<Value, DATE>) {
            V_VT(&out) = VT_DATE;
            V_DATE(&out) = value;
        } else if constexpr (std::is_base_of_v<IDispatch, std::remove_pointer_t<Value>>) {
            V_VT(&out) = VT_DISPATCH;
            V_DISPATCH(&out) = static_cast<IDispatch*>(value);
        } else {
            V_VT(&out) = VT_UNKNOWN;
            V_UNKNOWN(&out) = static_cast<IUnknown*>(value);
        }
        if (result)
            *result = out;
        else
            VariantClear(&out);
    }
    Value value{};
};

// Argument `position` (0 the first as declared) of `params`, a by-reference
// VARIANT taken as the VARIANT it refers to.
VARIANT ArgumentAt(const DISPPARAMS& params, UINT position);

// The position of the first argument a member takes as a VARIANT: the one it
// coerces itself, so a type mismatch it answers is that argument's.
template <class... In>
constexpr UINT FirstVariantArgument() {
    constexpr bool isVariant[] = {std::is_same_v<In, VARIANT>..., false};
    UINT position = 0;
    while (position < sizeof...(In) && !isVariant[position])
        ++position;
    return position;
}

// The call of one member from Invoke: the parameters split into the
// in-arguments and the result.
template <class Interface, class Ins, class Out>
struct Invocation;

template <class Interface, class... In, class Out>
struct Invocation<Interface, std::tuple<In...>, Out> {
    template <auto Method>
    static HRESULT Call(IDispatch* object, const DISPPARAMS& params, VARIANT* result,
                        UINT* argumentError) {
        std::tuple<Argument<In>...> arguments;
        HRESULT coerced = S_OK;
        UINT position = 0;  // of the argument that could not be coerced
        auto coerce = [&](auto& argument) {
            if (SUCCEEDED(coerced) &&
                SUCCEEDED(coerced = argument.From(ArgumentAt(params, position))))
                ++position;
        };
        std::apply([&](auto&... argument) { (coerce(argument), ...); }, arguments);
        if (FAILED(coerced))
            return Mismatch(argumentError, position);
        auto* target = static_cast<Interface*>(object);
        HRESULT hr = S_OK;
        if constexpr (std::is_void_v<Out>) {
            hr = std::apply([&](auto&... argument) { return (target->*Method)(argument.Get()...); },
                            arguments);
        } else {
            Result<Out> out;
            hr = std::apply(
                [&](auto&... argument) { return (target->*Method)(argument.Get()..., out.Slot()); },
                arguments);
            if (SUCCEEDED(hr))
                out.Give(result);
        }
        constexpr UINT variant = FirstVariantArgument<In...>();
        if (hr == DISP_E_TYPEMISMATCH && variant < sizeof...(In))
            return Mismatch(argumentError, variant);
        return hr;
    }

    static HRESULT Mismatch(UINT* argumentError, UINT position) {
        if (argumentError)
            *argumentError = position;
        return DISP_E_TYPEMISMATCH;
    }
};

template <class... T>
struct Last {
    using Type = std::tuple_element_t<sizeof...(T) - 1, std::tuple<T...>>;
};

// The result parameter of a member that gives one, else void.
template <bool GivesResult, class... Params>
struct ResultOf {
    using Type = void;
};
template <class... Params>
struct ResultOf<true, Params...> {
    using Type = typename Last<Params...>::Type;
};

template <class Tuple, std::size_t... I>
auto Front(std::index_sequence<I...>) -> std::tuple<std::tuple_element_t<I, Tuple>...>;

// The shape of a vtable member: its interface, its in-arguments and result.
template <class Method>
struct Signature;

template <class Interface, class... Params>
struct Signature<HRESULT (STDMETHODCALLTYPE Interface::*)(Params...)> {
    static constexpr bool kGivesResult = [] {
        if constexpr (sizeof...(Params) == 0)
            return false;
        else
            return IsResult<typename Last<Params...>::Type>;
    }();
    static constexpr std::size_t kIns = sizeof...(Params) - (kGivesResult ? 1 : 0);
    using Ins = decltype(Front<std::tuple<Params...>>(std::make_index_sequence<kIns>()));
    using Out = typename ResultOf<kGivesResult, Params...>::Type;
    using Invoked = Invocation<Interface, Ins, Out>;

    // The proxy's member: the call runs on the object's thread.
    template <auto Method>
    static HRESULT STDMETHODCALLTYPE Forward(ProxyFace* face, Params... params) {
        return platform::com::ForwardCall(*face->link, static_cast<Interface*>(face->target),
                                          Method, params...);
    }
};

}  // namespace dispatch

// The entry of the vtable member `Method` (a pointer to member of the
// interface): reached by `name` and `id` when invoked as `kind`; the last
// `optional` in-arguments (VARIANTs) may be left out.
template <auto Method>
constexpr DispatchMember Member(const wchar_t* name, DISPID id, WORD kind, UINT optional = 0) {
    using Shape = dispatch::Signature<decltype(Method)>;
    return DispatchMember{
        name,
        id,
        kind,
        static_cast<UINT>(Shape::kIns),
        optional,
        &Shape::Invoked::template Call<Method>,
        [] { return dispatch::VtableSlot(Method); },
        [] { return reinterpret_cast<const void*>(&Shape::template Forward<Method>); },
    };
}

// One table of two: a class's members after those it shares with another.
template <std::size_t First, std::size_t Second>
constexpr std::array<DispatchMember, First + Second> Join(
    const std::array<DispatchMember, First>& first,
    const std::array<DispatchMember, Second>& second) {
    std::array<DispatchMember, First + Second> joined{};
    std::copy(first.begin(), first.end(), joined.begin());
    std::copy(second.begin(), second.end(), joined.begin() + First);
    return joined;
}

}  // namespace outlook::objects
