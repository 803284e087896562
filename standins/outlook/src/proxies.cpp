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
    STDMETHODIMP get_Folders(Outlook::_Folders** folders) override {
        return Forward(&Outlook::_NameSpace::get_Folders, folders);
    }
    STDMETHODIMP GetDefaultFolder(LONG type, Outlook::MAPIFolder** folder) override {
        return Forward(&Outlook::_NameSpace::GetDefaultFolder, type, folder);
    }
    STDMETHODIMP GetFolderFromID(BSTR entryId, VARIANT storeId,
                                 Outlook::MAPIFolder** folder) override {
        return Forward(&Outlook::_NameSpace::GetFolderFromID, entryId, storeId, folder);
    }
    STDMETHODIMP GetItemFromID(BSTR entryId, VARIANT storeId, IDispatch** item) override {
        return Forward(&Outlook::_NameSpace::GetItemFromID, entryId, storeId, item);
    }
    STDMETHODIMP get_MAPIOBJECT(IUnknown** session) override {
        return Forward(&Outlook::_NameSpace::get_MAPIOBJECT, session);
    }
};

class FolderProxy : public DispatchProxy<Outlook::MAPIFolder> {
  public:
    using DispatchProxy::DispatchProxy;
    STDMETHODIMP get_Parent(IDispatch** parent) override {
        return Forward(&Outlook::MAPIFolder::get_Parent, parent);
    }
    STDMETHODIMP get_EntryID(BSTR* entryId) override {
        return Forward(&Outlook::MAPIFolder::get_EntryID, entryId);
    }
    STDMETHODIMP get_Folders(Outlook::_Folders** folders) override {
        return Forward(&Outlook::MAPIFolder::get_Folders, folders);
    }
    STDMETHODIMP get_Items(Outlook::_Items** items) override {
        return Forward(&Outlook::MAPIFolder::get_Items, items);
    }
    STDMETHODIMP get_Name(BSTR* name) override {
        return Forward(&Outlook::MAPIFolder::get_Name, name);
    }
    STDMETHODIMP get_StoreID(BSTR* storeId) override {
        return Forward(&Outlook::MAPIFolder::get_StoreID, storeId);
    }
};

class FoldersProxy : public DispatchProxy<Outlook::_Folders> {
  public:
    using DispatchProxy::DispatchProxy;
    STDMETHODIMP get_Count(LONG* count) override {
        return Forward(&Outlook::_Folders::get_Count, count);
    }
    STDMETHODIMP Item(VARIANT index, Outlook::MAPIFolder** folder) override {
        return Forward(&Outlook::_Folders::Item, index, folder);
    }
    STDMETHODIMP Add(BSTR name, VARIANT type, Outlook::MAPIFolder** folder) override {
        return Forward(&Outlook::_Folders::Add, name, type, folder);
    }
};

class ItemsProxy : public DispatchProxy<Outlook::_Items> {
  public:
    using DispatchProxy::DispatchProxy;
    STDMETHODIMP get_Count(LONG* count) override {
        return Forward(&Outlook::_Items::get_Count, count);
    }
    STDMETHODIMP Item(VARIANT index, IDispatch** item) override {
        return Forward(&Outlook::_Items::Item, index, item);
    }
    STDMETHODIMP Remove(LONG index) override { return Forward(&Outlook::_Items::Remove, index); }
};

class MailItemProxy : public DispatchProxy<Outlook::_MailItem> {
  public:
    using DispatchProxy::DispatchProxy;
    STDMETHODIMP get_Class(LONG* objectClass) override {
        return Forward(&Outlook::_MailItem::get_Class, objectClass);
    }
    STDMETHODIMP get_Parent(IDispatch** parent) override {
        return Forward(&Outlook::_MailItem::get_Parent, parent);
    }
    STDMETHODIMP get_Body(BSTR* body) override {
        return Forward(&Outlook::_MailItem::get_Body, body);
    }
    STDMETHODIMP get_EntryID(BSTR* entryId) override {
        return Forward(&Outlook::_MailItem::get_EntryID, entryId);
    }
    STDMETHODIMP get_MAPIOBJECT(IUnknown** message) override {
        return Forward(&Outlook::_MailItem::get_MAPIOBJECT, message);
    }
    STDMETHODIMP get_MessageClass(BSTR* messageClass) override {
        return Forward(&Outlook::_MailItem::get_MessageClass, messageClass);
    }
    STDMETHODIMP get_Size(LONG* size) override {
        return Forward(&Outlook::_MailItem::get_Size, size);
    }
    STDMETHODIMP get_Subject(BSTR* subject) override {
        return Forward(&Outlook::_MailItem::get_Subject, subject);
    }
    STDMETHODIMP get_UnRead(VARIANT_BOOL* unread) override {
        return Forward(&Outlook::_MailItem::get_UnRead, unread);
    }
    STDMETHODIMP put_UnRead(VARIANT_BOOL unread) override {
        return Forward(&Outlook::_MailItem::put_UnRead, unread);
    }
    STDMETHODIMP Move(Outlook::MAPIFolder* destination, IDispatch** item) override {
        return Forward(&Outlook::_MailItem::Move, destination, item);
    }
    STDMETHODIMP Save() override { return Forward(&Outlook::_MailItem::Save); }
    STDMETHODIMP get_HTMLBody(BSTR* body) override {
        return Forward(&Outlook::_MailItem::get_HTMLBody, body);
    }
    STDMETHODIMP get_ReadReceiptRequested(VARIANT_BOOL* requested) override {
        return Forward(&Outlook::_MailItem::get_ReadReceiptRequested, requested);
    }
    STDMETHODIMP put_ReadReceiptRequested(VARIANT_BOOL requested) override {
        return Forward(&Outlook::_MailItem::put_ReadReceiptRequested, requested);
    }
    STDMETHODIMP get_ReceivedTime(DATE* received) override {
        return Forward(&Outlook::_MailItem::get_ReceivedTime, received);
    }
};

}  // namespace

void RegisterOutlookProxies() {
    static std::once_flag registered;
    std::call_once(registered, [] {
        platform::com::RegisterProxy<ApplicationProxy, Outlook::_Application>();
        platform::com::RegisterProxy<ExplorersProxy, Outlook::_Explorers>();
        platform::com::RegisterProxy<ExplorerProxy, Outlook::_Explorer>();
        platform::com::RegisterProxy<NameSpaceProxy, Outlook::_NameSpace>();
        platform::com::RegisterProxy<FolderProxy, Outlook::MAPIFolder>();
        platform::com::RegisterProxy<FoldersProxy, Outlook::_Folders>();
        platform::com::RegisterProxy<ItemsProxy, Outlook::_Items>();
        platform::com::RegisterProxy<MailItemProxy, Outlook::_MailItem>();
    });
}

}  // namespace outlook::objects
