#include <platform/proxies.h>

#include <mutex>

#include "objects.h"

namespace outlook::objects {

namespace {

using platform::com::DispatchProxy;

class ApplicationProxy : public DispatchProxy<Outlook::_Application> {
  public:
    using DispatchProxy::DispatchProxy;
    STDMETHODIMP get_Version(BSTR* version) override {
        return Forward(&Outlook::_Application::get_Version, version);
    }
    STDMETHODIMP ActiveExplorer(Outlook::_Explorer** explorer) override {
        return Forward(&Outlook::_Application::ActiveExplorer, explorer);
    }
    STDMETHODIMP GetNamespace(BSTR type, Outlook::_NameSpace** nameSpace) override {
        return Forward(&Outlook::_Application::GetNamespace, type, nameSpace);
    }
    STDMETHODIMP get_Explorers(Outlook::_Explorers** explorers) override {
        return Forward(&Outlook::_Application::get_Explorers, explorers);
    }
};

class ExplorersProxy : public DispatchProxy<Outlook::_Explorers> {
  public:
    using DispatchProxy::DispatchProxy;
    STDMETHODIMP get_Count(LONG* count) override {
        return Forward(&Outlook::_Explorers::get_Count, count);
    }
    STDMETHODIMP Item(VARIANT index, Outlook::_Explorer** explorer) override {
        return Forward(&Outlook::_Explorers::Item, index, explorer);
    }
};

class ExplorerProxy : public DispatchProxy<Outlook::_Explorer> {
  public:
    using DispatchProxy::DispatchProxy;
    STDMETHODIMP get_Caption(BSTR* caption) override {
        return Forward(&Outlook::_Explorer::get_Caption, caption);
    }
};

class NameSpaceProxy : public DispatchProxy<Outlook::_NameSpace> {
  public:
    using DispatchProxy::DispatchProxy;
};

}  // namespace

void RegisterOutlookProxies() {
    static std::once_flag registered;
    std::call_once(registered, [] {
        platform::com::RegisterProxy<ApplicationProxy, Outlook::_Application>();
        platform::com::RegisterProxy<ExplorersProxy, Outlook::_Explorers>();
        platform::com::RegisterProxy<ExplorerProxy, Outlook::_Explorer>();
        platform::com::RegisterProxy<NameSpaceProxy, Outlook::_NameSpace>();
    });
}

}  // namespace outlook::objects
