// Compiler COM support: _com_ptr_t, the smart interface pointer, and
// _COM_SMARTPTR_TYPEDEF, which names one per interface:
//     _COM_SMARTPTR_TYPEDEF(IFoo, __uuidof(IFoo));   // declares IFooPtr
// Construction and assignment from another interface type query for this
// one: E_NOINTERFACE leaves the pointer null, other failures raise
// _com_error. Using a null pointer through -> or * raises E_POINTER.
#pragma once

#include "objbase.h"
#include "comutil.h"

#include <cstddef>

template <class _Interface, const IID* _IID>
class _com_IIID {
  public:
    typedef _Interface Interface;
    static const IID& GetIID() noexcept { return *_IID; }
};

template <class _IIID>
class _com_ptr_t {
  public:
    typedef _IIID ThisIIID;
    typedef typename _IIID::Interface Interface;

    static const IID& GetIID() noexcept { return ThisIIID::GetIID(); }

    _com_ptr_t() noexcept : m_pInterface(nullptr) {}
    _com_ptr_t(std::nullptr_t) noexcept : m_pInterface(nullptr) {}
    // Only 0 is accepted, as a null pointer; anything else raises E_POINTER.
    _com_ptr_t(int null) : m_pInterface(nullptr) {
        if (null != 0)
            _com_issue_error(E_POINTER);
    }
    _com_ptr_t(Interface* pInterface) noexcept : m_pInterface(pInterface) { AddRefIfAny(); }
    _com_ptr_t(Interface* pInterface, bool fAddRef) noexcept : m_pInterface(pInterface) {
        if (fAddRef)
            AddRefIfAny();
    }
    _com_ptr_t(const _com_ptr_t& cp) noexcept : m_pInterface(cp.m_pInterface) { AddRefIfAny(); }
    _com_ptr_t(_com_ptr_t&& cp) noexcept : m_pInterface(cp.m_pInterface) {
        cp.m_pInterface = nullptr;
    }
    template <class _OtherIID>
    _com_ptr_t(const _com_ptr_t<_OtherIID>& p) : m_pInterface(nullptr) {
        QueryFrom(p.GetInterfacePtr());
    }
    template <class _InterfaceType>
    _com_ptr_t(_InterfaceType* p) : m_pInterface(nullptr) {
        QueryFrom(p);
    }
    // From the object a VARIANT holds (converted to VT_UNKNOWN first).
    _com_ptr_t(const _variant_t& varSrc) : m_pInterface(nullptr) { QueryFromVariant(varSrc); }
    explicit _com_ptr_t(const CLSID& clsid, IUnknown* pOuter = nullptr,
                        DWORD dwClsContext = CLSCTX_ALL)
        : m_pInterface(nullptr) {
        RaiseUnlessCreated(CreateInstance(clsid, pOuter, dwClsContext));
    }
    explicit _com_ptr_t(LPCWSTR str, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL)
        : m_pInterface(nullptr) {
        RaiseUnlessCreated(CreateInstance(str, pOuter, dwClsContext));
    }
    explicit _com_ptr_t(LPCSTR str, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL)
        : m_pInterface(nullptr) {
        RaiseUnlessCreated(CreateInstance(str, pOuter, dwClsContext));
    }

    ~_com_ptr_t() noexcept { ReleaseIfAny(); }

    _com_ptr_t& operator=(Interface* pInterface) noexcept {
        if (pInterface != m_pInterface)
            _com_ptr_t(pInterface).Swap(*this);
        return *this;
    }
    _com_ptr_t& operator=(const _com_ptr_t& cp) noexcept { return *this = cp.m_pInterface; }
    _com_ptr_t& operator=(_com_ptr_t&& cp) noexcept {
        _com_ptr_t(static_cast<_com_ptr_t&&>(cp)).Swap(*this);
        return *this;
    }
    template <class _OtherIID>
    _com_ptr_t& operator=(const _com_ptr_t<_OtherIID>& p) {
        _com_ptr_t(p).Swap(*this);
        return *this;
    }
    template <class _InterfaceType>
    _com_ptr_t& operator=(_InterfaceType* p) {
        _com_ptr_t(p).Swap(*this);
        return *this;
    }
    _com_ptr_t& operator=(std::nullptr_t) noexcept {
        ReleaseIfAny();
        return *this;
    }
    _com_ptr_t& operator=(int null) {
        if (null != 0)
            _com_issue_error(E_POINTER);
        return *this = nullptr;
    }
    _com_ptr_t& operator=(const _variant_t& varSrc) {
        _com_ptr_t(varSrc).Swap(*this);
        return *this;
    }

    // Creation through the COM runtime; the pointer is released first.
    HRESULT CreateInstance(const CLSID& rclsid, IUnknown* pOuter = nullptr,
                           DWORD dwClsContext = CLSCTX_ALL) noexcept {
        ReleaseIfAny();
        const HRESULT hr = CoCreateInstance(rclsid, pOuter, dwClsContext, GetIID(),
                                            reinterpret_cast<void**>(&m_pInterface));
        if (FAILED(hr))
            m_pInterface = nullptr;
        return hr;
    }
    // A braced CLSID or a ProgID.
    HRESULT CreateInstance(LPCWSTR clsidString, IUnknown* pOuter = nullptr,
                           DWORD dwClsContext = CLSCTX_ALL) noexcept {
        if (clsidString == nullptr)
            return E_INVALIDARG;
        CLSID clsid;
        const HRESULT hr = clsidString[0] == L'{' ? CLSIDFromString(clsidString, &clsid)
                                                  : CLSIDFromProgID(clsidString, &clsid);
        if (FAILED(hr))
            return hr;
        return CreateInstance(clsid, pOuter, dwClsContext);
    }
    HRESULT CreateInstance(LPCSTR clsidStringA, IUnknown* pOuter = nullptr,
                           DWORD dwClsContext = CLSCTX_ALL) {
        if (clsidStringA == nullptr)
            return E_INVALIDARG;
        return CreateInstance(static_cast<const wchar_t*>(_bstr_t(clsidStringA)), pOuter,
                              dwClsContext);
    }

    void Attach(Interface* pInterface) noexcept {
        ReleaseIfAny();
        m_pInterface = pInterface;
    }
    void Attach(Interface* pInterface, bool fAddRef) noexcept {
        if (fAddRef && pInterface != nullptr)
            pInterface->AddRef();
        Attach(pInterface);
    }
    Interface* Detach() noexcept {
        Interface* old = m_pInterface;
        m_pInterface = nullptr;
        return old;
    }
    void AddRef() {
        if (m_pInterface == nullptr)
            _com_issue_error(E_POINTER);
        m_pInterface->AddRef();
    }
    void Release() {
        if (m_pInterface == nullptr)
            _com_issue_error(E_POINTER);
        ReleaseIfAny();
    }

    Interface* GetInterfacePtr() const noexcept { return m_pInterface; }
    Interface*& GetInterfacePtr() noexcept { return m_pInterface; }

    operator Interface*() const noexcept { return m_pInterface; }
    operator Interface&() const { return *CheckedPointer(); }
    Interface& operator*() const { return *CheckedPointer(); }
    Interface* operator->() const { return CheckedPointer(); }
    // For an out-parameter: the current interface is released first.
    Interface** operator&() noexcept {
        ReleaseIfAny();
        return &m_pInterface;
    }
    operator bool() const noexcept { return m_pInterface != nullptr; }
    bool operator!() const noexcept { return m_pInterface == nullptr; }

    template <class _InterfaceType>
    HRESULT QueryInterface(const IID& iid, _InterfaceType*& p) noexcept {
        if (m_pInterface == nullptr)
            return E_POINTER;
        return m_pInterface->QueryInterface(iid, reinterpret_cast<void**>(&p));
    }
    template <class _InterfaceType>
    HRESULT QueryInterface(const IID& iid, _InterfaceType** p) noexcept {
        return QueryInterface(iid, *p);
    }

    // Comparisons are by object identity (the IUnknown each answers).
    template <class _OtherIID>
    bool operator==(const _com_ptr_t<_OtherIID>& p) const {
        return CompareUnknown(p.GetInterfacePtr()) == 0;
    }
    template <class _InterfaceType>
    bool operator==(_InterfaceType* p) const {
        return CompareUnknown(p) == 0;
    }
    bool operator==(std::nullptr_t) const noexcept { return m_pInterface == nullptr; }
    bool operator==(int null) const {
        if (null != 0)
            _com_issue_error(E_POINTER);
        return m_pInterface == nullptr;
    }
    template <class _Other>
    bool operator!=(const _Other& p) const {
        return !(*this == p);
    }
    template <class _OtherIID>
    bool operator<(const _com_ptr_t<_OtherIID>& p) const {
        return CompareUnknown(p.GetInterfacePtr()) < 0;
    }
    template <class _OtherIID>
    bool operator>(const _com_ptr_t<_OtherIID>& p) const {
        return CompareUnknown(p.GetInterfacePtr()) > 0;
    }
    template <class _OtherIID>
    bool operator<=(const _com_ptr_t<_OtherIID>& p) const {
        return CompareUnknown(p.GetInterfacePtr()) <= 0;
    }
    template <class _OtherIID>
    bool operator>=(const _com_ptr_t<_OtherIID>& p) const {
        return CompareUnknown(p.GetInterfacePtr()) >= 0;
    }

  private:
    void AddRefIfAny() noexcept {
        if (m_pInterface != nullptr)
            m_pInterface->AddRef();
    }
    void ReleaseIfAny() noexcept {
        Interface* old = m_pInterface;
        m_pInterface = nullptr;
        if (old != nullptr)
            old->Release();
    }
    void Swap(_com_ptr_t& other) noexcept {
        Interface* mine = m_pInterface;
        m_pInterface = other.m_pInterface;
        other.m_pInterface = mine;
    }
    Interface* CheckedPointer() const {
        if (m_pInterface == nullptr)
            _com_issue_error(E_POINTER);
        return m_pInterface;
    }
    static void RaiseUnlessCreated(HRESULT hr) {
        if (FAILED(hr) && hr != E_NOINTERFACE)
            _com_issue_error(hr);
    }
    template <class _InterfaceType>
    void QueryFrom(_InterfaceType* p) {
        if (p == nullptr)
            return;
        const HRESULT hr = p->QueryInterface(GetIID(), reinterpret_cast<void**>(&m_pInterface));
        if (FAILED(hr)) {
            m_pInterface = nullptr;
            if (hr != E_NOINTERFACE)
                _com_issue_error(hr);
        }
    }
    void QueryFromVariant(const _variant_t& varSrc) {
        if (varSrc.vt == VT_UNKNOWN || varSrc.vt == VT_DISPATCH) {
            QueryFrom(varSrc.punkVal);
            return;
        }
        _variant_t unknown;
        unknown.ChangeType(VT_UNKNOWN, &varSrc);
        QueryFrom(unknown.punkVal);
    }
    // Orders by the identity pointers; a failing QueryInterface raises.
    template <class _InterfaceType>
    int CompareUnknown(_InterfaceType* p) const {
        IUnknown* mine = IdentityOf(m_pInterface);
        IUnknown* theirs = IdentityOf(p);
        if (mine == theirs)
            return 0;
        return mine < theirs ? -1 : 1;
    }
    // The identity pointer, compared only, so the reference is given back.
    template <class _InterfaceType>
    static IUnknown* IdentityOf(_InterfaceType* p) {
        if (p == nullptr)
            return nullptr;
        IUnknown* identity = nullptr;
        const HRESULT hr = p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
        if (FAILED(hr))
            _com_issue_error(hr);
        identity->Release();
        return identity;
    }

    Interface* m_pInterface;
};

#define _COM_SMARTPTR_TYPEDEF(Interface, IID) \
    typedef _com_ptr_t<_com_IIID<Interface, &IID>> Interface##Ptr
