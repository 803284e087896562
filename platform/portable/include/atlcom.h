// ATL's COM object classes: object roots, interface maps, the object
// wrappers (plain, cached, aggregated), creators, the class factory, the
// co-class base with its error reporting, and IDispatchImpl over the
// registered type library.
#pragma once

#include "atlbase.h"

#include <climits>
#include <cstddef>

namespace ATL {

// --- Interface maps ---------------------------------------------------------

struct _ATL_INTMAP_ENTRY {
    const IID* piid;
    DWORD_PTR dw;
    _ATL_CREATORARGFUNC* pFunc;
};

// An entry whose interface sits at offset dw in the object.
#define _ATL_SIMPLEMAPENTRY ((ATL::_ATL_CREATORARGFUNC*)1)

// The offset of base class `base` in `derived`.
#define offsetofclass(base, derived) \
    (reinterpret_cast<DWORD_PTR>(static_cast<base*>(reinterpret_cast<derived*>(8))) - 8)

class CComObjectRootBase {
  public:
    CComObjectRootBase() : m_dwRef(0) {}
    // Objects are deleted as their most derived class by their own Release.
    virtual ~CComObjectRootBase() = default;

    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() {}
    HRESULT _AtlInitialConstruct() { return S_OK; }
    HRESULT _AtlFinalConstruct() { return S_OK; }
    void _AtlFinalRelease() {}
    static void WINAPI ObjectMain(bool) {}
    void SetVoid(void*) {}
    void InternalFinalConstructAddRef() {}
    void InternalFinalConstructRelease() {}

    // The reference count of a plain object, or the controlling unknown of an
    // aggregated one.
    union {
        LONG m_dwRef;
        IUnknown* m_pOuterUnknown;
    };

    ULONG OuterAddRef() { return m_pOuterUnknown->AddRef(); }
    ULONG OuterRelease() { return m_pOuterUnknown->Release(); }
    HRESULT OuterQueryInterface(REFIID iid, void** ppvObject) {
        return m_pOuterUnknown->QueryInterface(iid, ppvObject);
    }

    static HRESULT WINAPI InternalQueryInterface(void* pThis, const _ATL_INTMAP_ENTRY* pEntries,
                                                 REFIID iid, void** ppvObject) {
        if (!ppvObject)
            return E_POINTER;
        *ppvObject = nullptr;
        // IUnknown is the first entry, which is a plain one.
        if (iid == IID_IUnknown) {
            auto* unknown =
                reinterpret_cast<IUnknown*>(reinterpret_cast<DWORD_PTR>(pThis) + pEntries->dw);
            unknown->AddRef();
            *ppvObject = unknown;
            return S_OK;
        }
        for (; pEntries->pFunc; ++pEntries) {
            if (pEntries->piid && *pEntries->piid != iid)
                continue;
            if (pEntries->pFunc == _ATL_SIMPLEMAPENTRY) {
                auto* unknown =
                    reinterpret_cast<IUnknown*>(reinterpret_cast<DWORD_PTR>(pThis) + pEntries->dw);
                unknown->AddRef();
                *ppvObject = unknown;
                return S_OK;
            }
            const HRESULT hr = pEntries->pFunc(pThis, iid, ppvObject, pEntries->dw);
            if (hr == S_OK || (FAILED(hr) && pEntries->piid))
                return hr;
        }
        return E_NOINTERFACE;
    }

    // An aggregated inner object's unknown kept at offset dw of the object.
    static HRESULT WINAPI _Delegate(void* pv, REFIID iid, void** ppvObject, DWORD_PTR dw) {
        IUnknown* inner = *reinterpret_cast<IUnknown**>(reinterpret_cast<DWORD_PTR>(pv) + dw);
        return inner ? inner->QueryInterface(iid, ppvObject) : E_NOINTERFACE;
    }
};

template <class ThreadModel>
class CComObjectRootEx : public CComObjectRootBase {
  public:
    typedef ThreadModel _ThreadModel;
    typedef typename ThreadModel::AutoCriticalSection _CritSec;

    ULONG InternalAddRef() { return ThreadModel::Increment(&m_dwRef); }
    ULONG InternalRelease() { return ThreadModel::Decrement(&m_dwRef); }
    void Lock() { m_critsec.Lock(); }
    void Unlock() { m_critsec.Unlock(); }

  private:
    _CritSec m_critsec;
};

typedef CComObjectRootEx<CComObjectThreadModel> CComObjectRoot;

#define BEGIN_COM_MAP(x)                                                                           \
  public:                                                                                          \
    typedef x _ComMapClass;                                                                        \
    IUnknown* _GetRawUnknown() {                                                                   \
        return reinterpret_cast<IUnknown*>(reinterpret_cast<DWORD_PTR>(this) + _GetEntries()->dw); \
    }                                                                                              \
    IUnknown* GetUnknown() {                                                                       \
        return _GetRawUnknown();                                                                   \
    }                                                                                              \
    HRESULT _InternalQueryInterface(REFIID iid, void** ppvObject) {                                \
        return this->InternalQueryInterface(this, _GetEntries(), iid, ppvObject);                  \
    }                                                                                              \
    static const ATL::_ATL_INTMAP_ENTRY* WINAPI _GetEntries() {                                    \
        static const ATL::_ATL_INTMAP_ENTRY _entries[] = {
#define COM_INTERFACE_ENTRY(x) {&__uuidof(x), offsetofclass(x, _ComMapClass), _ATL_SIMPLEMAPENTRY},

#define COM_INTERFACE_ENTRY_IID(iid, x) {&iid, offsetofclass(x, _ComMapClass), _ATL_SIMPLEMAPENTRY},

// Interface x reached through base x2, for an x that several bases derive from.
#define COM_INTERFACE_ENTRY2(x, x2)                                               \
    {&__uuidof(x),                                                                \
     reinterpret_cast<DWORD_PTR>(                                                 \
         static_cast<x*>(static_cast<x2*>(reinterpret_cast<_ComMapClass*>(8)))) - \
         8,                                                                       \
     _ATL_SIMPLEMAPENTRY},

#define COM_INTERFACE_ENTRY2_IID(iid, x, x2)                                      \
    {&iid,                                                                        \
     reinterpret_cast<DWORD_PTR>(                                                 \
         static_cast<x*>(static_cast<x2*>(reinterpret_cast<_ComMapClass*>(8)))) - \
         8,                                                                       \
     _ATL_SIMPLEMAPENTRY},

// The interface answered by the aggregated inner object whose unknown is the
// member punk.
#define COM_INTERFACE_ENTRY_AGGREGATE(iid, punk) {&iid, offsetof(_ComMapClass, punk), _Delegate},

#define END_COM_MAP()                               \
    { nullptr, 0, nullptr }                         \
    }                                               \
    ;                                               \
    return _entries;                                \
    }                                               \
    ULONG STDMETHODCALLTYPE AddRef() override = 0;  \
    ULONG STDMETHODCALLTYPE Release() override = 0; \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override = 0;

// While FinalConstruct runs, the object holds a reference of its own, so that
// handing itself out and releasing it does not destroy it.
#define DECLARE_PROTECT_FINAL_CONSTRUCT()  \
    void InternalFinalConstructAddRef() {  \
        this->InternalAddRef();            \
    }                                      \
    void InternalFinalConstructRelease() { \
        this->InternalRelease();           \
    }

// --- Objects ----------------------------------------------------------------

// The object of a class: counts its references, holds the module while it
// lives, runs FinalRelease before it goes.
template <class Base>
class CComObject : public Base {
  public:
    typedef Base _BaseClass;
    CComObject(void* = nullptr) { _pAtlModule->Lock(); }
    ~CComObject() override {
        this->m_dwRef = -(0x7FFFFFFF / 2);
        this->FinalRelease();
        _pAtlModule->Unlock();
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return this->InternalAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = this->InternalRelease();
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppvObject) override {
        return this->_InternalQueryInterface(iid, ppvObject);
    }
    template <class Q>
    HRESULT QueryInterface(Q** pp) {
        return QueryInterface(__uuidof(Q), reinterpret_cast<void**>(pp));
    }

    // A new object with no references, FinalConstruct run.
    static HRESULT WINAPI CreateInstance(CComObject<Base>** pp) {
        if (!pp)
            return E_POINTER;
        *pp = nullptr;
        auto* object = new (std::nothrow) CComObject<Base>();
        if (!object)
            return E_OUTOFMEMORY;
        object->SetVoid(nullptr);
        object->InternalFinalConstructAddRef();
        HRESULT hr = object->_AtlInitialConstruct();
        if (SUCCEEDED(hr))
            hr = object->FinalConstruct();
        if (SUCCEEDED(hr))
            hr = object->_AtlFinalConstruct();
        object->InternalFinalConstructRelease();
        if (FAILED(hr)) {
            delete object;
            return hr;
        }
        *pp = object;
        return S_OK;
    }
};

// An object the module keeps (a class factory): the module's own reference
// does not hold the module, a client's does.
template <class Base>
class CComObjectCached : public Base {
  public:
    typedef Base _BaseClass;
    CComObjectCached(void* = nullptr) {}
    ~CComObjectCached() override {
        this->m_dwRef = -(0x7FFFFFFF / 2);
        this->FinalRelease();
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        const ULONG count = this->InternalAddRef();
        if (count == 2)
            _pAtlModule->Lock();
        return count;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG count = this->InternalRelease();
        if (count == 0)
            delete this;
        else if (count == 1)
            _pAtlModule->Unlock();
        return count;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppvObject) override {
        return this->_InternalQueryInterface(iid, ppvObject);
    }
};

// An object that does not hold the module.
template <class Base>
class CComObjectNoLock : public Base {
  public:
    typedef Base _BaseClass;
    CComObjectNoLock(void* = nullptr) {}
    ~CComObjectNoLock() override {
        this->m_dwRef = -(0x7FFFFFFF / 2);
        this->FinalRelease();
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return this->InternalAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = this->InternalRelease();
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppvObject) override {
        return this->_InternalQueryInterface(iid, ppvObject);
    }
};

// The inner part of an aggregated object: its interfaces count on, and ask,
// the controlling unknown.
template <class Base>
class CComContainedObject : public Base {
  public:
    typedef Base _BaseClass;
    explicit CComContainedObject(void* pv) { this->m_pOuterUnknown = static_cast<IUnknown*>(pv); }
    ULONG STDMETHODCALLTYPE AddRef() override { return this->OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return this->OuterRelease(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppvObject) override {
        return this->OuterQueryInterface(iid, ppvObject);
    }
    IUnknown* GetControllingUnknown() { return this->m_pOuterUnknown; }
};

// An object aggregated into an outer one: its own IUnknown (the inner
// unknown) counts references and answers the contained class's map.
template <class contained>
class CComAggObject : public IUnknown,
                      public CComObjectRootEx<typename contained::_ThreadModel::ThreadModelNoCS> {
  public:
    typedef contained _BaseClass;
    explicit CComAggObject(void* pv) : m_contained(pv) { _pAtlModule->Lock(); }
    ~CComAggObject() override {
        this->m_dwRef = -(0x7FFFFFFF / 2);
        m_contained.FinalRelease();
        _pAtlModule->Unlock();
    }
    void SetVoid(void* pv) { m_contained.SetVoid(pv); }
    HRESULT _AtlInitialConstruct() { return m_contained._AtlInitialConstruct(); }
    HRESULT FinalConstruct() {
        CComObjectRootEx<typename contained::_ThreadModel::ThreadModelNoCS>::FinalConstruct();
        return m_contained.FinalConstruct();
    }
    HRESULT _AtlFinalConstruct() { return m_contained._AtlFinalConstruct(); }
    void InternalFinalConstructAddRef() { this->InternalAddRef(); }
    void InternalFinalConstructRelease() { this->InternalRelease(); }

    ULONG STDMETHODCALLTYPE AddRef() override { return this->InternalAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = this->InternalRelease();
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppvObject) override {
        if (!ppvObject)
            return E_POINTER;
        *ppvObject = nullptr;
        if (iid == IID_IUnknown) {
            *ppvObject = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return m_contained._InternalQueryInterface(iid, ppvObject);
    }

    CComContainedObject<contained> m_contained;
};

// One class for both forms: aggregated when given an outer unknown, else its
// own controlling unknown.
template <class contained>
class CComPolyObject : public CComAggObject<contained> {
  public:
    explicit CComPolyObject(void* pv)
        : CComAggObject<contained>(pv ? pv : static_cast<IUnknown*>(this)) {}
};

// --- Creators ---------------------------------------------------------------

template <class T1>
class CComCreator {
  public:
    static HRESULT WINAPI CreateInstance(void* pv, REFIID riid, LPVOID* ppv) {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        T1* object = new (std::nothrow) T1(pv);
        if (!object)
            return E_OUTOFMEMORY;
        object->SetVoid(pv);
        object->InternalFinalConstructAddRef();
        HRESULT hr = object->_AtlInitialConstruct();
        if (SUCCEEDED(hr))
            hr = object->FinalConstruct();
        if (SUCCEEDED(hr))
            hr = object->_AtlFinalConstruct();
        object->InternalFinalConstructRelease();
        if (SUCCEEDED(hr))
            hr = object->QueryInterface(riid, ppv);
        if (FAILED(hr))
            delete object;
        return hr;
    }
};

template <HRESULT hr>
class CComFailCreator {
  public:
    static HRESULT WINAPI CreateInstance(void*, REFIID, LPVOID* ppv) {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        return hr;
    }
};

// T1 without an outer unknown, T2 with one.
template <class T1, class T2>
class CComCreator2 {
  public:
    static HRESULT WINAPI CreateInstance(void* pv, REFIID riid, LPVOID* ppv) {
        return pv ? T2::CreateInstance(pv, riid, ppv) : T1::CreateInstance(pv, riid, ppv);
    }
};

#define DECLARE_NOT_AGGREGATABLE(x)                                        \
  public:                                                                  \
    typedef ATL::CComCreator2<ATL::CComCreator<ATL::CComObject<x>>,        \
                              ATL::CComFailCreator<CLASS_E_NOAGGREGATION>> \
        _CreatorClass;

#define DECLARE_AGGREGATABLE(x)                                        \
  public:                                                              \
    typedef ATL::CComCreator2<ATL::CComCreator<ATL::CComObject<x>>,    \
                              ATL::CComCreator<ATL::CComAggObject<x>>> \
        _CreatorClass;

#define DECLARE_ONLY_AGGREGATABLE(x)                                   \
  public:                                                              \
    typedef ATL::CComCreator2<ATL::CComFailCreator<E_FAIL>,            \
                              ATL::CComCreator<ATL::CComAggObject<x>>> \
        _CreatorClass;

#define DECLARE_POLY_AGGREGATABLE(x) \
  public:                            \
    typedef ATL::CComCreator<ATL::CComPolyObject<x>> _CreatorClass;

// --- Class factory ----------------------------------------------------------

class CComClassFactory : public IClassFactory, public CComObjectRootEx<CComGlobalsThreadModel> {
  public:
    BEGIN_COM_MAP(CComClassFactory)
    COM_INTERFACE_ENTRY(IClassFactory)
    END_COM_MAP()

    ~CComClassFactory() override = default;

    HRESULT STDMETHODCALLTYPE CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid,
                                             void** ppvObj) override {
        if (!ppvObj)
            return E_POINTER;
        *ppvObj = nullptr;
        // An outer object asks for the inner unknown and nothing else.
        if (pUnkOuter && riid != IID_IUnknown)
            return CLASS_E_NOAGGREGATION;
        return m_pfnCreateInstance(pUnkOuter, riid, ppvObj);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override {
        if (fLock)
            _pAtlModule->Lock();
        else
            _pAtlModule->Unlock();
        return S_OK;
    }
    void SetVoid(void* pv) { m_pfnCreateInstance = reinterpret_cast<_ATL_CREATORFUNC*>(pv); }

    _ATL_CREATORFUNC* m_pfnCreateInstance = nullptr;
};

#define DECLARE_CLASSFACTORY_EX(cf) \
    typedef ATL::CComCreator<ATL::CComObjectCached<cf>> _ClassFactoryCreatorClass;
#define DECLARE_CLASSFACTORY() DECLARE_CLASSFACTORY_EX(ATL::CComClassFactory)

// --- Error information ------------------------------------------------------

// Sets the thread's error information: the interface, the class's ProgID as
// its source, the description. The result to return: hRes, or
// DISP_E_EXCEPTION when it is 0.
inline HRESULT WINAPI AtlReportError(REFCLSID clsid, LPCOLESTR lpszDesc, REFIID iid = GUID_NULL,
                                     HRESULT hRes = 0) {
    CComPtr<ICreateErrorInfo> creator;
    if (SUCCEEDED(::CreateErrorInfo(&creator))) {
        creator->SetGUID(iid);
        LPOLESTR progId = nullptr;
        ::ProgIDFromCLSID(clsid, &progId);
        creator->SetSource(progId);
        ::CoTaskMemFree(progId);
        creator->SetDescription(const_cast<LPOLESTR>(lpszDesc));
        CComQIPtr<IErrorInfo> info(static_cast<IUnknown*>(creator.p));
        if (info)
            ::SetErrorInfo(0, info);
    }
    return hRes == 0 ? DISP_E_EXCEPTION : hRes;
}

template <const IID* piid>
class ISupportErrorInfoImpl : public ISupportErrorInfo {
  public:
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == *piid ? S_OK : S_FALSE;
    }
};

// --- Co-classes -------------------------------------------------------------

template <class T, const CLSID* pclsid = &CLSID_NULL>
class CComCoClass {
  public:
    DECLARE_CLASSFACTORY()
    DECLARE_AGGREGATABLE(T)
    typedef T _CoClass;

    static const CLSID& WINAPI GetObjectCLSID() { return *pclsid; }
    static LPCWSTR WINAPI GetObjectDescription() { return nullptr; }
    static const _ATL_CATMAP_ENTRY* WINAPI GetCategoryMap() { return nullptr; }

    static HRESULT WINAPI Error(LPCOLESTR lpszDesc, const IID& iid = GUID_NULL, HRESULT hRes = 0) {
        return AtlReportError(GetObjectCLSID(), lpszDesc, iid, hRes);
    }

    template <class Q>
    static HRESULT CreateInstance(IUnknown* punkOuter, Q** pp) {
        return T::_CreatorClass::CreateInstance(punkOuter, __uuidof(Q),
                                                reinterpret_cast<void**>(pp));
    }
    template <class Q>
    static HRESULT CreateInstance(Q** pp) {
        return CreateInstance(nullptr, pp);
    }
};

// --- Dispatch over type information ------------------------------------------

// The type information of one interface from the registered type library,
// loaded on first use and kept.
class CComTypeInfoHolder {
  public:
    CComTypeInfoHolder(const GUID* pguid, const GUID* plibid, WORD major, WORD minor)
        : m_pguid(pguid), m_plibid(plibid), m_wMajor(major), m_wMinor(minor) {}
    ~CComTypeInfoHolder() {
        if (m_pInfo)
            m_pInfo->Release();
    }
    CComTypeInfoHolder(const CComTypeInfoHolder&) = delete;
    CComTypeInfoHolder& operator=(const CComTypeInfoHolder&) = delete;

    HRESULT GetTI(LCID lcid, ITypeInfo** ppInfo) {
        if (!ppInfo)
            return E_POINTER;
        *ppInfo = nullptr;
        HRESULT hr = GetTI(lcid);
        if (SUCCEEDED(hr)) {
            *ppInfo = m_pInfo;
            m_pInfo->AddRef();
        }
        return hr;
    }
    HRESULT GetTI(LCID lcid) {
        std::lock_guard lock(_pAtlModule->m_csStaticDataInitAndTypeInfo);
        if (m_pInfo)
            return S_OK;
        CComPtr<ITypeLib> library;
        HRESULT hr = ::LoadRegTypeLib(*m_plibid, m_wMajor, m_wMinor, lcid, &library);
        if (SUCCEEDED(hr))
            hr = library->GetTypeInfoOfGuid(*m_pguid, &m_pInfo);
        return hr;
    }
    HRESULT GetTypeInfo(UINT itinfo, LCID lcid, ITypeInfo** pptinfo) {
        if (!pptinfo)
            return E_POINTER;
        *pptinfo = nullptr;
        if (itinfo != 0)
            return DISP_E_BADINDEX;
        return GetTI(lcid, pptinfo);
    }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgdispid) {
        HRESULT hr = GetTI(lcid);
        return SUCCEEDED(hr) ? m_pInfo->GetIDsOfNames(rgszNames, cNames, rgdispid) : hr;
    }
    HRESULT Invoke(IDispatch* p, DISPID dispidMember, REFIID, LCID lcid, WORD wFlags,
                   DISPPARAMS* pdispparams, VARIANT* pvarResult, EXCEPINFO* pexcepinfo,
                   UINT* puArgErr) {
        HRESULT hr = GetTI(lcid);
        return SUCCEEDED(hr) ? m_pInfo->Invoke(p, dispidMember, wFlags, pdispparams, pvarResult,
                                               pexcepinfo, puArgErr)
                             : hr;
    }

    const GUID* m_pguid;
    const GUID* m_plibid;
    WORD m_wMajor;
    WORD m_wMinor;
    ITypeInfo* m_pInfo = nullptr;
};

template <class T, const IID* piid = &__uuidof(T), const GUID* plibid = &CAtlModule::m_libid,
          WORD wMajor = 1, WORD wMinor = 0, class tihclass = CComTypeInfoHolder>
class IDispatchImpl : public T {
  public:
    typedef tihclass _tihclass;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT itinfo, LCID lcid, ITypeInfo** pptinfo) override {
        return _tih.GetTypeInfo(itinfo, lcid, pptinfo);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgdispid) override {
        return _tih.GetIDsOfNames(riid, rgszNames, cNames, lcid, rgdispid);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispidMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pdispparams, VARIANT* pvarResult,
                                     EXCEPINFO* pexcepinfo, UINT* puArgErr) override {
        return _tih.Invoke(static_cast<IDispatch*>(this), dispidMember, riid, lcid, wFlags,
                           pdispparams, pvarResult, pexcepinfo, puArgErr);
    }

  protected:
    inline static ATL_MODULE_LOCAL tihclass _tih{piid, plibid, wMajor, wMinor};
};

}  // namespace ATL

// The class's entry in the module's object map.
#define OBJECT_ENTRY_AUTO(clsid, class)                    \
    static ATL::_ATL_OBJMAP_ENTRY __objMap_##class = {     \
        &clsid,                                            \
        class ::UpdateRegistry,                            \
        class ::_ClassFactoryCreatorClass::CreateInstance, \
        class ::_CreatorClass::CreateInstance,             \
        nullptr,                                           \
        0,                                                 \
        class ::GetObjectDescription,                      \
        class ::GetCategoryMap,                            \
        class ::ObjectMain,                                \
        nullptr};                                          \
    static ATL::_ATL_OBJMAP_AUTO_ENTRY __objMapAuto_##class(__objMap_##class);
