#include "com_runtime/proxy_link.h"

#include <oleauto.h>

#include <algorithm>
#include <utility>

namespace platform::com {
namespace {

class DispatchOnlyProxy final : public DispatchProxy<IDispatch> {
  public:
    using DispatchProxy::DispatchProxy;
};

class SupportErrorInfoProxy final : public InterfaceProxy<ISupportErrorInfo> {
  public:
    using InterfaceProxy::InterfaceProxy;
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return Forward(&ISupportErrorInfo::InterfaceSupportsErrorInfo, iid);
    }
};

struct Registration {
    IID iid;
    ProxyFactory factory;
};

std::mutex registryLock;
std::vector<Registration>& Registry() {
    // Lives as long as the process; the built-in proxies come first.
    static auto* registry = new std::vector<Registration>{
        {IID_IUnknown,
         [](ProxyLink& link, IUnknown* target) {
             return std::unique_ptr<InterfaceProxyBase>(
                 std::make_unique<InterfaceProxy<IUnknown>>(link, target));
         }},
        {__uuidof(IDispatch),
         [](ProxyLink& link, IUnknown* target) {
             return std::unique_ptr<InterfaceProxyBase>(
                 std::make_unique<DispatchOnlyProxy>(link, target));
         }},
        {IID_ISupportErrorInfo,
         [](ProxyLink& link, IUnknown* target) {
             return std::unique_ptr<InterfaceProxyBase>(
                 std::make_unique<SupportErrorInfoProxy>(link, target));
         }},
    };
    return *registry;
}

}  // namespace

void LinkReferences::Add(IUnknown* target) {
    std::lock_guard lock(m_lock);
    m_targets.push_back(target);
}

void LinkReferences::ReleaseAll() {
    std::vector<IUnknown*> targets;
    {
        std::lock_guard lock(m_lock);
        targets.swap(m_targets);
    }
    for (IUnknown* target : targets)
        target->Release();
}

ProxyManager::ProxyManager(std::shared_ptr<Apartment> owner, REFIID iid, IUnknown* target)
    : m_owner(std::move(owner)), m_anyTarget(target) {
    m_references->Add(target);
    m_faces.push_back({iid, FindProxyFactory(iid)(*this, target)});
    m_owner->Attach(m_references);
}

IUnknown* ProxyManager::FindFace(REFIID iid) {
    auto found = std::find_if(m_faces.begin(), m_faces.end(),
                              [&](const Face& face) { return face.iid == iid; });
    return found == m_faces.end() ? nullptr : found->proxy->Interface();
}

HRESULT ProxyManager::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    {
        std::lock_guard lock(m_lock);
        if (IUnknown* face = FindFace(iid)) {
            AddRef();
            *object = face;
            return S_OK;
        }
    }
    // Another interface of the object: asked of the object on its thread, and
    // usable here only when a proxy for it exists.
    const ProxyFactory factory = FindProxyFactory(iid);
    if (!factory)
        return E_NOINTERFACE;
    IUnknown* target = nullptr;
    const HRESULT asked =
        Run([&] { return m_anyTarget->QueryInterface(iid, reinterpret_cast<void**>(&target)); });
    if (FAILED(asked))
        return asked;
    std::lock_guard lock(m_lock);
    IUnknown* face = FindFace(iid);
    if (face) {
        m_owner->Post([target] { target->Release(); });  // another thread was quicker
    } else {
        m_references->Add(target);
        m_faces.push_back({iid, factory(*this, target)});
        face = m_faces.back().proxy->Interface();
    }
    AddRef();
    *object = face;
    return S_OK;
}

ULONG ProxyManager::AddRef() {
    return ++m_count;
}

ULONG ProxyManager::Release() {
    const ULONG left = --m_count;
    if (left == 0) {
        m_owner->Detach(m_references.get());
        m_owner->Post([references = m_references] { references->ReleaseAll(); });
        delete this;
    }
    return left;
}

// The error object a failing call leaves on the object's thread comes back
// with its result to the caller's thread, as COM's channel carries it.
HRESULT ProxyManager::Run(const std::function<HRESULT()>& call) {
    IErrorInfo* error = nullptr;
    const HRESULT result = m_owner->Run([&] {
        const HRESULT called = call();
        if (FAILED(called) && GetErrorInfo(0, &error) != S_OK)
            error = nullptr;
        return called;
    });
    if (error) {
        SetErrorInfo(0, error);
        error->Release();
    }
    return result;
}

ProxyFactory FindProxyFactory(REFIID iid) {
    std::lock_guard lock(registryLock);
    const auto& registry = Registry();
    auto found = std::find_if(registry.begin(), registry.end(),
                              [&](const Registration& each) { return each.iid == iid; });
    return found == registry.end() ? nullptr : found->factory;
}

HRESULT ForwardInvoke(ProxyLink& link, IDispatch* target, DISPID member, REFIID iid, LCID lcid,
                      WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                      UINT* argumentError) {
    std::deque<detail::Carrier<VARIANT>> arguments;
    std::vector<VARIANT> carried;
    if (params) {
        for (UINT i = 0; i < params->cArgs; ++i) {
            arguments.emplace_back(params->rgvarg[i]);
            const HRESULT started = arguments.back().Start();
            if (FAILED(started))
                return started;
            carried.push_back(arguments.back().Get());
        }
    }
    DISPPARAMS across = params ? *params : DISPPARAMS{};
    if (params)
        across.rgvarg = carried.data();
    detail::Carrier<VARIANT*> resultCarrier(result);
    HRESULT outcome = link.Run([&] {
        const HRESULT called = target->Invoke(member, iid, lcid, flags, params ? &across : nullptr,
                                              result, exception, argumentError);
        resultCarrier.Prepare(called);
        return called;
    });
    return resultCarrier.Finish(link, outcome);
}

void RegisterProxyFactory(REFIID iid, ProxyFactory factory) {
    std::lock_guard lock(registryLock);
    auto& registry = Registry();
    auto found = std::find_if(registry.begin(), registry.end(),
                              [&](const Registration& each) { return each.iid == iid; });
    if (found != registry.end())
        found->factory = factory;
    else
        registry.push_back({iid, factory});
}

bool HasProxyFactory(REFIID iid) {
    return FindProxyFactory(iid) != nullptr;
}

bool IsFreeThreaded(IUnknown* object) {
    IMarshal* marshal = nullptr;
    if (FAILED(object->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal))))
        return false;
    CLSID unmarshaler{};
    const HRESULT asked = marshal->GetUnmarshalClass(IID_IUnknown, object, MSHCTX_INPROC, nullptr,
                                                     MSHLFLAGS_NORMAL, &unmarshaler);
    marshal->Release();
    return SUCCEEDED(asked) && unmarshaler == CLSID_InProcFreeMarshaler;
}

HRESULT ImportThroughLink(ProxyLink& link, REFIID iid, IUnknown** object, bool freeThreaded) {
    const auto& owner = static_cast<ProxyManager&>(link).owner();
    if (freeThreaded || owner->IsCurrent())
        return S_OK;
    IUnknown* target = *object;
    *object = nullptr;
    if (!HasProxyFactory(iid)) {
        owner->Post([target] { target->Release(); });
        return E_NOINTERFACE;
    }
    auto* manager = new ProxyManager(owner, iid, target);
    return manager->QueryInterface(iid, reinterpret_cast<void**>(object));
}

IUnknown* ExportForCall(REFIID iid, IUnknown* object, HRESULT* result) {
    *result = S_OK;
    const auto caller = CurrentApartmentObject();
    // Objects of the multithreaded apartment go across as they are.
    if (!caller || caller->kind() != ApartmentKind::SingleThreaded || IsFreeThreaded(object)) {
        object->AddRef();
        return object;
    }
    if (!HasProxyFactory(iid)) {
        *result = E_NOINTERFACE;
        return nullptr;
    }
    object->AddRef();
    auto* manager = new ProxyManager(caller, iid, object);
    IUnknown* proxy = nullptr;
    manager->QueryInterface(iid, reinterpret_cast<void**>(&proxy));
    return proxy;
}

}  // namespace platform::com
