// The link behind the proxies of one object of another apartment, like the
// proxy manager of Windows: one identity and reference count for all the
// object's interface proxies, and the references to the object itself, which
// are released on the object's thread.
#pragma once

#include "com_runtime/apartment.h"
#include "platform/proxies.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::com {

// The references a link holds to its object; the object's apartment lets
// them go when it closes before the link does.
class LinkReferences final : public ApartmentBound {
  public:
    void Add(IUnknown* target);
    // Releases them all, once; on the object's thread.
    void ReleaseAll();
    void Disconnect() override { ReleaseAll(); }

  private:
    std::mutex m_lock;
    std::vector<IUnknown*> m_targets;
};

class ProxyManager final : public ProxyLink {
  public:
    // A link to `target` (interface `iid`, one reference handed over) of the
    // apartment `owner`; its proxy for `iid` is made at once. The caller
    // takes its first reference through QueryInterface.
    ProxyManager(std::shared_ptr<Apartment> owner, REFIID iid, IUnknown* target);

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Run(const std::function<HRESULT()>& call) override;

    const std::shared_ptr<Apartment>& owner() const { return m_owner; }

  private:
    struct Face {
        IID iid;
        std::unique_ptr<InterfaceProxyBase> proxy;
    };
    ~ProxyManager() = default;
    IUnknown* FindFace(REFIID iid);

    const std::shared_ptr<Apartment> m_owner;
    const std::shared_ptr<LinkReferences> m_references = std::make_shared<LinkReferences>();
    IUnknown* const m_anyTarget;  // asked for further interfaces
    std::atomic<ULONG> m_count{0};
    std::mutex m_lock;
    std::vector<Face> m_faces;
};

// The proxy factory registered for `iid`, or null.
ProxyFactory FindProxyFactory(REFIID iid);

}  // namespace platform::com
