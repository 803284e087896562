// A small ATL: smart pointers, strings and variants, threading models, and
// the module classes of an in-process COM server. Names and behaviour follow
// ATL where a caller can see them; docs/platform/atl-and-registration.md lists
// what differs.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include "variant_source.h"
#include <libloaderapi.h>
#include <synchapi.h>
#include <interlockedapi.h>
#include <atliface.h>

#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

// State of the module that includes ATL (the module object, the object map)
// is the module's own: it is not shared with other modules in the process
// that include ATL as well. A Windows module shares no symbols but its
// exports, so there it needs no attribute.
#ifdef _WIN32
#define ATL_MODULE_LOCAL
#else
#define ATL_MODULE_LOCAL __attribute__((visibility("hidden")))
#endif

// Entry point notifications, for modules built before the loader declares them.
#ifndef DLL_PROCESS_ATTACH
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#endif

#define ATL_NO_VTABLE

#ifndef ATLASSERT
#define ATLASSERT(expr) ((void)0)
#endif

namespace ATL {

// --- Threading models -------------------------------------------------------

class CComFakeCriticalSection {
  public:
    HRESULT Lock() { return S_OK; }
    HRESULT Unlock() { return S_OK; }
    HRESULT Init() { return S_OK; }
    HRESULT Term() { return S_OK; }
};

class CComCriticalSection {
  public:
    CComCriticalSection() = default;
    CComCriticalSection(const CComCriticalSection&) = delete;
    CComCriticalSection& operator=(const CComCriticalSection&) = delete;
    HRESULT Lock() {
        m_mutex.lock();
        return S_OK;
    }
    HRESULT Unlock() {
        m_mutex.unlock();
        return S_OK;
    }
    HRESULT Init() { return S_OK; }
    HRESULT Term() { return S_OK; }

  private:
    std::recursive_mutex m_mutex;
};
using CComAutoCriticalSection = CComCriticalSection;

class CComSingleThreadModel {
  public:
    static ULONG WINAPI Increment(LONG* p) { return ++(*p); }
    static ULONG WINAPI Decrement(LONG* p) { return --(*p); }
    typedef CComFakeCriticalSection AutoCriticalSection;
    typedef CComFakeCriticalSection CriticalSection;
    typedef CComSingleThreadModel ThreadModelNoCS;
};

class CComMultiThreadModelNoCS {
  public:
    static ULONG WINAPI Increment(LONG* p) { return InterlockedIncrement(p); }
    static ULONG WINAPI Decrement(LONG* p) { return InterlockedDecrement(p); }
    typedef CComFakeCriticalSection AutoCriticalSection;
    typedef CComFakeCriticalSection CriticalSection;
    typedef CComMultiThreadModelNoCS ThreadModelNoCS;
};

class CComMultiThreadModel {
  public:
    static ULONG WINAPI Increment(LONG* p) { return InterlockedIncrement(p); }
    static ULONG WINAPI Decrement(LONG* p) { return InterlockedDecrement(p); }
    typedef CComAutoCriticalSection AutoCriticalSection;
    typedef CComCriticalSection CriticalSection;
    typedef CComMultiThreadModelNoCS ThreadModelNoCS;
};

// Objects live in apartments; what the module shares is reached from any thread.
typedef CComSingleThreadModel CComObjectThreadModel;
typedef CComMultiThreadModel CComGlobalsThreadModel;

// --- Smart pointers ---------------------------------------------------------

template <class T>
class CComPtr {
  public:
    CComPtr() noexcept = default;
    CComPtr(T* lp) noexcept : p(lp) {
        if (p)
            p->AddRef();
    }
    CComPtr(const CComPtr& other) noexcept : CComPtr(other.p) {}
    CComPtr(CComPtr&& other) noexcept : p(std::exchange(other.p, nullptr)) {}
    ~CComPtr() {
        if (p)
            p->Release();
    }
    CComPtr& operator=(T* lp) noexcept {
        if (p != lp) {
            if (lp)
                lp->AddRef();
            if (p)
                p->Release();
            p = lp;
        }
        return *this;
    }
    CComPtr& operator=(const CComPtr& other) noexcept { return *this = other.p; }
    CComPtr& operator=(CComPtr&& other) noexcept {
        if (this != std::addressof(other)) {
            Release();
            p = std::exchange(other.p, nullptr);
        }
        return *this;
    }

    operator T*() const noexcept { return p; }
    T& operator*() const { return *p; }
    T* operator->() const noexcept { return p; }
    // As in ATL, taking the address is for filling an empty pointer.
    T** operator&() noexcept {
        ATLASSERT(p == nullptr);
        return &p;
    }
    bool operator!() const noexcept { return p == nullptr; }

    void Release() noexcept {
        if (T* old = std::exchange(p, nullptr))
            old->Release();
    }
    void Attach(T* lp) noexcept {
        if (p)
            p->Release();
        p = lp;
    }
    T* Detach() noexcept { return std::exchange(p, nullptr); }
    HRESULT CopyTo(T** ppT) const noexcept {
        if (!ppT)
            return E_POINTER;
        *ppT = p;
        if (p)
            p->AddRef();
        return S_OK;
    }
    template <class Q>
    HRESULT QueryInterface(Q** pp) const noexcept {
        return p->QueryInterface(__uuidof(Q), reinterpret_cast<void**>(pp));
    }
    // Whether both point to one object: the same IUnknown.
    bool IsEqualObject(IUnknown* other) const noexcept {
        if (!p || !other)
            return p == nullptr && other == nullptr;
        IUnknown* mine = nullptr;
        IUnknown* theirs = nullptr;
        p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&mine));
        other->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&theirs));
        const bool same = mine == theirs;
        if (mine)
            mine->Release();
        if (theirs)
            theirs->Release();
        return same;
    }
    HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter = nullptr,
                             DWORD dwClsContext = CLSCTX_ALL) noexcept {
        ATLASSERT(p == nullptr);
        return ::CoCreateInstance(rclsid, pUnkOuter, dwClsContext, __uuidof(T),
                                  reinterpret_cast<void**>(&p));
    }

    // Late binding, as ATL's CComPtr<IDispatch> offers it: members reached by
    // name under the user's default locale.
    HRESULT GetIDOfName(LPCOLESTR name,
                        DISPID* id) const noexcept requires std::is_same_v<T, IDispatch> {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        return p->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
    }
    HRESULT GetProperty(DISPID id,
                        VARIANT* value) const noexcept requires std::is_same_v<T, IDispatch> {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        return p->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value,
                         nullptr, nullptr);
    }
    HRESULT GetPropertyByName(LPCOLESTR name,
                              VARIANT* value) const noexcept requires std::is_same_v<T, IDispatch> {
        DISPID id = DISPID_UNKNOWN;
        const HRESULT hr = GetIDOfName(name, &id);
        return FAILED(hr) ? hr : GetProperty(id, value);
    }
    HRESULT PutProperty(DISPID id,
                        VARIANT* value) const noexcept requires std::is_same_v<T, IDispatch> {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params = {value, &named, 1, 1};
        return p->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                         nullptr, nullptr);
    }
    HRESULT PutPropertyByName(LPCOLESTR name,
                              VARIANT* value) const noexcept requires std::is_same_v<T, IDispatch> {
        DISPID id = DISPID_UNKNOWN;
        const HRESULT hr = GetIDOfName(name, &id);
        return FAILED(hr) ? hr : PutProperty(id, value);
    }
    // A method with one argument, by name.
    HRESULT Invoke1(LPCOLESTR name, VARIANT* argument, VARIANT* result = nullptr)
        const noexcept requires std::is_same_v<T, IDispatch> {
        DISPID id = DISPID_UNKNOWN;
        if (const HRESULT hr = GetIDOfName(name, &id); FAILED(hr))
            return hr;
        DISPPARAMS params = {argument, nullptr, 1, 0};
        return p->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                         &params, result, nullptr, nullptr);
    }

    T* p = nullptr;
};

typedef CComPtr<IDispatch> CComDispatchDriver;

template <class T, const IID* piid = &__uuidof(T)>
class CComQIPtr : public CComPtr<T> {
  public:
    CComQIPtr() noexcept = default;
    CComQIPtr(T* lp) noexcept : CComPtr<T>(lp) {}
    CComQIPtr(IUnknown* lp) noexcept {
        if (lp)
            lp->QueryInterface(*piid, reinterpret_cast<void**>(&this->p));
    }
    CComQIPtr& operator=(IUnknown* lp) noexcept {
        CComQIPtr queried(lp);
        std::swap(this->p, queried.p);
        return *this;
    }
};

// --- Strings and variants ---------------------------------------------------

class CComBSTR {
  public:
    CComBSTR() noexcept = default;
    CComBSTR(LPCOLESTR text) : m_str(text ? ::SysAllocString(text) : nullptr) {}
    CComBSTR(int length, LPCOLESTR text) : m_str(::SysAllocStringLen(text, length)) {}
    CComBSTR(const CComBSTR& other) : m_str(other.Copy()) {}
    CComBSTR(CComBSTR&& other) noexcept : m_str(std::exchange(other.m_str, nullptr)) {}
    ~CComBSTR() { ::SysFreeString(m_str); }
    CComBSTR& operator=(const CComBSTR& other) {
        if (this != std::addressof(other))
            Attach(other.Copy());
        return *this;
    }
    CComBSTR& operator=(CComBSTR&& other) noexcept {
        if (this != std::addressof(other))
            Attach(std::exchange(other.m_str, nullptr));
        return *this;
    }
    CComBSTR& operator=(LPCOLESTR text) {
        Attach(text ? ::SysAllocString(text) : nullptr);
        return *this;
    }

    operator BSTR() const noexcept { return m_str; }
    BSTR* operator&() noexcept { return &m_str; }
    bool operator!() const noexcept { return m_str == nullptr; }
    bool operator==(LPCOLESTR text) const {
        if (!m_str || !text)
            return Length() == 0 && (!text || !*text);
        return std::wstring_view(m_str, Length()) == std::wstring_view(text);
    }

    unsigned int Length() const noexcept { return ::SysStringLen(m_str); }
    BSTR Copy() const { return m_str ? ::SysAllocStringLen(m_str, Length()) : nullptr; }
    HRESULT CopyTo(BSTR* pbstr) const {
        if (!pbstr)
            return E_POINTER;
        *pbstr = Copy();
        return (*pbstr || !m_str) ? S_OK : E_OUTOFMEMORY;
    }
    void Attach(BSTR src) noexcept {
        if (m_str != src) {
            ::SysFreeString(m_str);
            m_str = src;
        }
    }
    BSTR Detach() noexcept { return std::exchange(m_str, nullptr); }
    void Empty() noexcept { Attach(nullptr); }
    HRESULT Append(LPCOLESTR text, int length) {
        if (!text || length == 0)
            return S_OK;
        const unsigned int old = Length();
        BSTR joined = ::SysAllocStringLen(nullptr, old + length);
        if (!joined)
            return E_OUTOFMEMORY;
        if (old)
            std::char_traits<OLECHAR>::copy(joined, m_str, old);
        std::char_traits<OLECHAR>::copy(joined + old, text, length);
        Attach(joined);
        return S_OK;
    }
    HRESULT Append(LPCOLESTR text) {
        return text ? Append(text, static_cast<int>(std::char_traits<OLECHAR>::length(text)))
                    : S_OK;
    }
    CComBSTR& operator+=(LPCOLESTR text) {
        Append(text);
        return *this;
    }

    BSTR m_str = nullptr;
};

class CComVariant : public tagVARIANT {
  public:
    CComVariant() noexcept { ::VariantInit(this); }
    CComVariant(const VARIANT& other) {
        ::VariantInit(this);
        ::VariantCopy(this, BvVariantSource(&other));
    }
    CComVariant(const CComVariant& other) : CComVariant(static_cast<const VARIANT&>(other)) {}
    CComVariant(LPCOLESTR text) {
        ::VariantInit(this);
        vt = VT_BSTR;
        bstrVal = ::SysAllocString(text);
    }
    CComVariant(bool value) {
        ::VariantInit(this);
        vt = VT_BOOL;
        boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
    CComVariant(LONG value) {
        ::VariantInit(this);
        vt = VT_I4;
        lVal = value;
    }
    CComVariant(IDispatch* value) {
        ::VariantInit(this);
        vt = VT_DISPATCH;
        pdispVal = value;
        if (value)
            value->AddRef();
    }
    ~CComVariant() { ::VariantClear(this); }
    CComVariant& operator=(const CComVariant& other) {
        if (this != std::addressof(other))
            ::VariantCopy(this, BvVariantSource(&other));
        return *this;
    }
    HRESULT Clear() { return ::VariantClear(this); }
    HRESULT Copy(const VARIANT* src) { return ::VariantCopy(this, BvVariantSource(src)); }
    HRESULT ChangeType(VARTYPE type, const VARIANT* src = nullptr) {
        return ::VariantChangeType(this, BvVariantSource(src ? src : this), 0, type);
    }
    HRESULT Detach(VARIANT* dest) {
        if (!dest)
            return E_POINTER;
        if (HRESULT hr = ::VariantClear(dest); FAILED(hr))
            return hr;
        *dest = *static_cast<VARIANT*>(this);
        vt = VT_EMPTY;
        return S_OK;
    }
};

// --- Modules ----------------------------------------------------------------

struct _ATL_REGMAP_ENTRY {
    LPCOLESTR szKey;
    LPCOLESTR szData;
};

typedef HRESULT(WINAPI _ATL_CREATORFUNC)(void* pv, REFIID riid, LPVOID* ppv);
typedef HRESULT(WINAPI _ATL_CREATORARGFUNC)(void* pv, REFIID riid, LPVOID* ppv, DWORD_PTR dw);
typedef LPCWSTR(WINAPI _ATL_DESCRIPTIONFUNC)();
struct _ATL_CATMAP_ENTRY;
typedef const _ATL_CATMAP_ENTRY*(WINAPI _ATL_CATMAPFUNC)();

// One creatable class of the module: how it registers, how its class factory
// and its objects are made, and the class factory once made.
struct _ATL_OBJMAP_ENTRY {
    const CLSID* pclsid;
    HRESULT(WINAPI* pfnUpdateRegistry)(BOOL bRegister);
    _ATL_CREATORFUNC* pfnGetClassObject;
    _ATL_CREATORFUNC* pfnCreateInstance;
    IUnknown* pCF;
    DWORD dwRegister;
    _ATL_DESCRIPTIONFUNC* pfnGetObjectDescription;
    _ATL_CATMAPFUNC* pfnGetCategoryMap;
    void(WINAPI* pfnObjectMain)(bool bStarting);
    _ATL_OBJMAP_ENTRY* pNext;  // the module's entries in the order they were declared
};

// The module's entries, linked as OBJECT_ENTRY_AUTO declares them.
struct _ATL_OBJMAP_LIST {
    _ATL_OBJMAP_ENTRY* first = nullptr;
    _ATL_OBJMAP_ENTRY* last = nullptr;
};
inline ATL_MODULE_LOCAL _ATL_OBJMAP_LIST _AtlObjectMap;

struct _ATL_OBJMAP_AUTO_ENTRY {
    explicit _ATL_OBJMAP_AUTO_ENTRY(_ATL_OBJMAP_ENTRY& entry) {
        entry.pNext = nullptr;
        (_AtlObjectMap.last ? _AtlObjectMap.last->pNext : _AtlObjectMap.first) = &entry;
        _AtlObjectMap.last = &entry;
    }
};

class CAtlModule;
inline ATL_MODULE_LOCAL CAtlModule* _pAtlModule = nullptr;

// The module's instance and the one its resources are read from.
class CAtlBaseModule {
  public:
    HINSTANCE GetModuleInstance() const { return m_hInst; }
    HINSTANCE GetResourceInstance() const { return m_hInstResource; }
    HINSTANCE SetResourceInstance(HINSTANCE instance) {
        return std::exchange(m_hInstResource, instance);
    }

    HINSTANCE m_hInst = nullptr;
    HINSTANCE m_hInstResource = nullptr;
    HINSTANCE m_hInstTypeLib = nullptr;
};
inline ATL_MODULE_LOCAL CAtlBaseModule _AtlBaseModule;

// The module's full Windows path, empty when the loader does not know it.
inline std::wstring AtlModulePath(HINSTANCE instance) {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(path, length);
}

inline HRESULT AtlLastError() {
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// The type library of a module: resource 1, or the resource named by index
// ("\2" for resource 2).
inline HRESULT AtlLoadTypeLib(HINSTANCE instance, LPCOLESTR index, BSTR* pbstrPath,
                              ITypeLib** ppTypeLib) {
    if (!pbstrPath || !ppTypeLib)
        return E_POINTER;
    *pbstrPath = nullptr;
    *ppTypeLib = nullptr;
    std::wstring path = AtlModulePath(instance);
    if (path.empty())
        return AtlLastError();
    if (index)
        path += index;
    HRESULT hr = ::LoadTypeLib(path.c_str(), ppTypeLib);
    if (SUCCEEDED(hr)) {
        *pbstrPath = ::SysAllocString(path.c_str());
        if (!*pbstrPath) {
            (*ppTypeLib)->Release();
            *ppTypeLib = nullptr;
            hr = E_OUTOFMEMORY;
        }
    }
    return hr;
}

inline HRESULT AtlRegisterTypeLib(HINSTANCE instance, LPCOLESTR index) {
    CComBSTR path;
    CComPtr<ITypeLib> library;
    HRESULT hr = AtlLoadTypeLib(instance, index, &path, &library);
    if (FAILED(hr))
        return hr;
    // The help files are looked for next to the module.
    std::wstring folder(path.m_str, path.Length());
    folder.erase(folder.find_last_of(L'\\') == std::wstring::npos ? 0 : folder.find_last_of(L'\\'));
    // Non-const text: mingw-w64 declares both paths as OLECHAR*.
    return ::RegisterTypeLib(library, path.m_str, folder.data());
}

inline HRESULT AtlUnRegisterTypeLib(HINSTANCE instance, LPCOLESTR index) {
    CComBSTR path;
    CComPtr<ITypeLib> library;
    HRESULT hr = AtlLoadTypeLib(instance, index, &path, &library);
    if (FAILED(hr))
        return hr;
    TLIBATTR* attributes = nullptr;
    if (FAILED(hr = library->GetLibAttr(&attributes)))
        return hr;
    const TLIBATTR copy = *attributes;
    library->ReleaseTLibAttr(attributes);
    return ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid,
                               copy.syskind);
}

// The thread locale set to the system's for the time of a registration, as
// the registry's texts are the system's, and restored after.
class CAtlSystemLocaleScope {
  public:
    CAtlSystemLocaleScope() : m_saved(::GetThreadLocale()) {
        ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
    }
    ~CAtlSystemLocaleScope() { ::SetThreadLocale(m_saved); }
    CAtlSystemLocaleScope(const CAtlSystemLocaleScope&) = delete;
    CAtlSystemLocaleScope& operator=(const CAtlSystemLocaleScope&) = delete;

  private:
    LCID m_saved;
};

class CAtlModule {
  public:
    CAtlModule() {
        ATLASSERT(_pAtlModule == nullptr);
        _pAtlModule = this;
    }
    virtual ~CAtlModule() {
        if (_pAtlModule == this)
            _pAtlModule = nullptr;
    }
    CAtlModule(const CAtlModule&) = delete;
    CAtlModule& operator=(const CAtlModule&) = delete;

    virtual LONG Lock() { return CComGlobalsThreadModel::Increment(&m_nLockCnt); }
    virtual LONG Unlock() { return CComGlobalsThreadModel::Decrement(&m_nLockCnt); }
    virtual LONG GetLockCount() { return m_nLockCnt; }

    // Replacements every script of the module gets (the AppID's, when the
    // module declares one).
    virtual HRESULT AddCommonRGSReplacements(IRegistrarBase*) { return S_OK; }

    // Applies the module's REGISTRY resource `id` with "MODULE" standing for
    // the module's path, the common replacements and the given ones.
    HRESULT WINAPI UpdateRegistryFromResource(UINT id, BOOL bRegister,
                                              _ATL_REGMAP_ENTRY* pMapEntries = nullptr) {
        const std::wstring module = AtlModulePath(_AtlBaseModule.GetModuleInstance());
        if (module.empty())
            return AtlLastError();
        CComPtr<IRegistrar> registrar;
        HRESULT hr = BvCreateRegistrar(&registrar);
        if (FAILED(hr))
            return hr;
        if (FAILED(hr = registrar->AddReplacement(L"Module", module.c_str())))
            return hr;
        if (FAILED(hr = AddCommonRGSReplacements(registrar)))
            return hr;
        for (; pMapEntries && pMapEntries->szKey; ++pMapEntries) {
            if (FAILED(hr = registrar->AddReplacement(pMapEntries->szKey, pMapEntries->szData)))
                return hr;
        }
        const std::wstring resources = AtlModulePath(_AtlBaseModule.GetResourceInstance());
        if (resources.empty())
            return AtlLastError();
        return bRegister ? registrar->ResourceRegister(resources.c_str(), id, L"REGISTRY")
                         : registrar->ResourceUnregister(resources.c_str(), id, L"REGISTRY");
    }

    LONG m_nLockCnt = 0;
    // Guards the one-time creation of class factories and type information.
    std::mutex m_csStaticDataInitAndTypeInfo;
    inline static ATL_MODULE_LOCAL GUID m_libid{};
};

template <class T>
class CAtlModuleT : public CAtlModule {
  public:
    CAtlModuleT() { T::InitLibId(); }
    static void InitLibId() {}
    static HRESULT WINAPI UpdateRegistryAppId(BOOL) { return S_OK; }
    HRESULT RegisterAppId() { return T::UpdateRegistryAppId(TRUE); }
    HRESULT UnregisterAppId() { return T::UpdateRegistryAppId(FALSE); }
    static LPCOLESTR GetAppId() { return L""; }
    HRESULT AddCommonRGSReplacements(IRegistrarBase* registrar) override {
        LPCOLESTR appId = T::GetAppId();
        return *appId ? registrar->AddReplacement(L"APPID", appId) : S_OK;
    }
};

// The module of an in-process server and the four exports' behaviour.
//
//   extern "C" BOOL WINAPI DllMain(HINSTANCE h, DWORD reason, LPVOID reserved)
//   { return _AtlModule.DllMain(h, reason, reserved); }
//
// The entry point hands the module its instance (there is no image-base symbol
// to find it by).
template <class T>
class CAtlDllModuleT : public CAtlModuleT<T> {
  public:
    ~CAtlDllModuleT() override { Term(); }

    BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
        if (dwReason == DLL_PROCESS_ATTACH) {
            _AtlBaseModule.m_hInst = hInstance;
            _AtlBaseModule.m_hInstResource = hInstance;
            _AtlBaseModule.m_hInstTypeLib = hInstance;
            for (auto* entry = _AtlObjectMap.first; entry; entry = entry->pNext) {
                if (entry->pfnObjectMain)
                    entry->pfnObjectMain(true);
            }
        } else if (dwReason == DLL_PROCESS_DETACH) {
            for (auto* entry = _AtlObjectMap.first; entry; entry = entry->pNext) {
                if (entry->pfnObjectMain)
                    entry->pfnObjectMain(false);
            }
        }
        return TRUE;
    }

    HRESULT DllCanUnloadNow() { return this->GetLockCount() == 0 ? S_OK : S_FALSE; }

    HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
        if (!_pAtlModule)
            return E_INVALIDARG;
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        for (auto* entry = _AtlObjectMap.first; entry; entry = entry->pNext) {
            if (*entry->pclsid != rclsid)
                continue;
            HRESULT hr = S_OK;
            {
                std::lock_guard lock(this->m_csStaticDataInitAndTypeInfo);
                if (!entry->pCF)
                    hr = entry->pfnGetClassObject(reinterpret_cast<void*>(entry->pfnCreateInstance),
                                                  IID_IUnknown,
                                                  reinterpret_cast<void**>(&entry->pCF));
            }
            if (FAILED(hr))
                return hr;
            return entry->pCF->QueryInterface(riid, ppv);
        }
        return CLASS_E_CLASSNOTAVAILABLE;
    }

    // The AppID script, each class's script, then the type library; the
    // first failure is returned and what was written stays.
    HRESULT DllRegisterServer(BOOL bRegTypeLib = TRUE) {
        CAtlSystemLocaleScope locale;
        T* pT = static_cast<T*>(this);
        HRESULT hr = pT->RegisterAppId();
        for (auto* entry = _AtlObjectMap.first; entry && SUCCEEDED(hr); entry = entry->pNext)
            hr = entry->pfnUpdateRegistry(TRUE);
        if (SUCCEEDED(hr) && bRegTypeLib)
            hr = AtlRegisterTypeLib(_AtlBaseModule.m_hInstTypeLib, nullptr);
        return hr;
    }

    // The opposite order: the type library, the classes, the AppID.
    HRESULT DllUnregisterServer(BOOL bUnRegTypeLib = TRUE) {
        CAtlSystemLocaleScope locale;
        T* pT = static_cast<T*>(this);
        HRESULT hr =
            bUnRegTypeLib ? AtlUnRegisterTypeLib(_AtlBaseModule.m_hInstTypeLib, nullptr) : S_OK;
        for (auto* entry = _AtlObjectMap.first; entry && SUCCEEDED(hr); entry = entry->pNext)
            hr = entry->pfnUpdateRegistry(FALSE);
        if (SUCCEEDED(hr))
            hr = pT->UnregisterAppId();
        return hr;
    }

    // Releases the class factories the module keeps.
    void Term() {
        for (auto* entry = _AtlObjectMap.first; entry; entry = entry->pNext) {
            if (IUnknown* factory = std::exchange(entry->pCF, nullptr))
                factory->Release();
        }
    }
};

}  // namespace ATL

#define DECLARE_LIBID(libid)              \
    static void InitLibId() {             \
        ATL::CAtlModule::m_libid = libid; \
    }

#define DECLARE_REGISTRY_APPID_RESOURCEID(resid, appid)                                  \
    static LPCOLESTR GetAppId() {                                                        \
        return L##appid;                                                                 \
    }                                                                                    \
    static HRESULT WINAPI UpdateRegistryAppId(BOOL bRegister) {                          \
        ATL::_ATL_REGMAP_ENTRY entries[] = {{L"APPID", GetAppId()}, {nullptr, nullptr}}; \
        return ATL::_pAtlModule->UpdateRegistryFromResource(resid, bRegister, entries);  \
    }

#define DECLARE_REGISTRY_RESOURCEID(x)                                     \
    static HRESULT WINAPI UpdateRegistry(BOOL bRegister) {                 \
        return ATL::_pAtlModule->UpdateRegistryFromResource(x, bRegister); \
    }

#ifndef _ATL_NO_AUTOMATIC_NAMESPACE
using namespace ATL;
#endif
