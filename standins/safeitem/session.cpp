// The session object, "BVOLTOOL.BVRDOSession", and the stores, folders and
// hidden items reached from it. Each object wraps an object of the process's
// mail store model, so what a session writes another session, Outlook's items
// and Extended MAPI see at once. The session and its objects live on the
// thread that created the session.
#include <bvoltool.h>
#include <mapicode.h>
#include <mapidefs.h>
#include <oleauto.h>

#include <mailstore/model.h>

#include <cwctype>
#include <optional>
#include <string>
#include <vector>

#include "safeitem/property_variant.h"
#include "safeitem/resource_ids.h"
#include "server/standin_server.h"

namespace {

using namespace bvoltool;
using mailstore::FolderPtr;
using mailstore::MessagePtr;
using mailstore::StorePtr;
using safeitem::Text;

// The open flags a folder may be asked for with.
constexpr LONG kKnownOpenFlags =
    MAPI_MODIFY | MAPI_DEFERRED_ERRORS | MAPI_BEST_ACCESS | MAPI_NO_CACHE;

mailstore::Model& Store() {
    return mailstore::Model::Process();
}

template <class T>
CComPtr<T> MakeObject() {
    CComObject<T>* object = nullptr;
    if (FAILED(CComObject<T>::CreateInstance(&object)))
        return nullptr;
    return CComPtr<T>(object);
}

// An interface result with the caller's reference.
template <class I, class T>
HRESULT HandOut(const CComPtr<T>& object, I** out) {
    if (!object)
        return E_OUTOFMEMORY;
    *out = object.p;
    (*out)->AddRef();
    return S_OK;
}

HRESULT TextOut(BSTR* out, const std::wstring& text) {
    if (!out)
        return E_POINTER;
    *out = Text(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::wstring TextOf(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

// Profile names, like the registry keys that hold them, ignore letter case.
mailstore::ProfilePtr ProfileNamed(const std::wstring& name) {
    const auto lower = [](std::wstring text) {
        for (wchar_t& ch : text)
            ch = static_cast<wchar_t>(std::towlower(ch));
        return text;
    };
    for (const mailstore::ProfilePtr& profile : Store().Profiles())
        if (lower(profile->Name()) == lower(name))
            return profile;
    return nullptr;
}

// The objects as their members are named; the session's class is the
// source of their errors, as they are all reached from it.
constexpr platform::calls::ComObject SessionPart(const wchar_t* name, const IID& iid) {
    return {name, nullptr, &CLSID_BVRDOSession, &iid};
}
constexpr platform::calls::ComObject kSession =
    SessionPart(L"BVRDOSession", __uuidof(IBVRDOSession));
constexpr platform::calls::ComObject kStores = SessionPart(L"BVRDOStores", __uuidof(IBVRDOStores));
constexpr platform::calls::ComObject kStore = SessionPart(L"BVRDOStore", __uuidof(IBVRDOStore));
constexpr platform::calls::ComObject kExchangeStore =
    SessionPart(L"BVRDOExchangeMailboxStore", __uuidof(IBVRDOExchangeMailboxStore));
constexpr platform::calls::ComObject kFolder = SessionPart(L"BVRDOFolder", __uuidof(IBVRDOFolder));
constexpr platform::calls::ComObject kItems = SessionPart(L"BVRDOItems", __uuidof(IBVRDOItems));
constexpr platform::calls::ComObject kMail = SessionPart(L"BVRDOMail", __uuidof(IBVRDOMail));

template <class... Out>
HRESULT Enter(const platform::calls::ComObject& object, const wchar_t* member, Out*... outputs) {
    return platform::calls::EnterComMember(object, member, outputs...);
}

// The COM plumbing every object of the session shares; its failures carry
// error information for its interface and `More`.
template <class Self, class Interface, const IID*... More>
class ATL_NO_VTABLE SessionObject
    : public CComObjectRootEx<CComSingleThreadModel>,
      public standins::CMemberlessDispatch<Interface>,
      public standins::CErrorInfoSupport<&__uuidof(Interface), More...> {};

HRESULT WrapFolder(FolderPtr folder, IBVRDOFolder** out);

// --- Items --------------------------------------------------------------------

class ATL_NO_VTABLE CRDOMail : public SessionObject<CRDOMail, IBVRDOMail> {
  public:
    BEGIN_COM_MAP(CRDOMail)
    COM_INTERFACE_ENTRY(IBVRDOMail)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    void SetMessage(MessagePtr message) { m_message = std::move(message); }
    // A new item: kept here until its first Save puts it into `folder`.
    void SetNew(FolderPtr folder, std::string messageClass) {
        m_folder = std::move(folder);
        m_class = std::move(messageClass);
    }

    STDMETHOD(get_Fields)(LONG propTag, VARIANT* value) override {
        if (HRESULT hr = Enter(kMail, L"Fields", value); FAILED(hr))
            return hr;
        if (!value)
            return E_POINTER;
        VariantInit(value);
        if (HRESULT hr = Reach(); FAILED(hr))
            return hr;
        if (!m_message)
            return NewField(static_cast<mailstore::PropTag>(propTag), value);
        return safeitem::FieldOf(*m_message, propTag, value);
    }
    STDMETHOD(get_Body)(BSTR* body) override {
        if (HRESULT hr = Enter(kMail, L"Body", body); FAILED(hr))
            return hr;
        if (HRESULT hr = Reach(); FAILED(hr))
            return hr;
        return TextOut(body, m_message ? m_message->PlainBody() : m_body.value_or(L""));
    }
    STDMETHOD(put_Body)(BSTR body) override {
        if (HRESULT hr = Enter(kMail, L"Body"); FAILED(hr))
            return hr;
        if (HRESULT hr = Reach(); FAILED(hr))
            return hr;
        if (m_message)
            m_message->SetPlainBody(TextOf(body));
        else
            m_body = TextOf(body);
        return S_OK;
    }
    STDMETHOD(get_Subject)(BSTR* subject) override {
        if (HRESULT hr = Enter(kMail, L"Subject", subject); FAILED(hr))
            return hr;
        if (HRESULT hr = Reach(); FAILED(hr))
            return hr;
        return TextOut(subject, m_message ? m_message->Subject() : m_subject.value_or(L""));
    }
    STDMETHOD(put_Subject)(BSTR subject) override {
        if (HRESULT hr = Enter(kMail, L"Subject"); FAILED(hr))
            return hr;
        if (HRESULT hr = Reach(); FAILED(hr))
            return hr;
        if (m_message)
            m_message->Set(mailstore::tags::kSubject, TextOf(subject));
        else
            m_subject = TextOf(subject);
        return S_OK;
    }
    STDMETHOD(Save)() override {
        if (HRESULT hr = Enter(kMail, L"Save"); FAILED(hr))
            return hr;
        if (HRESULT hr = Reach(); FAILED(hr))
            return hr;
        if (m_message)
            return S_OK;  // the store kept each change as it was made
        if (m_folder->IsDeleted())
            return MAPI_E_NOT_FOUND;
        MessagePtr made = m_folder->AddHiddenMessage(m_class);
        if (m_subject)
            made->Set(mailstore::tags::kSubject, *m_subject);
        if (m_body)
            made->SetPlainBody(*m_body);
        m_message = std::move(made);
        m_folder.reset();
        return S_OK;
    }
    STDMETHOD(get_EntryID)(BSTR* entryId) override {
        if (HRESULT hr = Enter(kMail, L"EntryID", entryId); FAILED(hr))
            return hr;
        if (HRESULT hr = Reach(); FAILED(hr))
            return hr;
        return TextOut(entryId, m_message ? mailstore::EntryIdToHex(m_message->Id()) : L"");
    }
    STDMETHOD(get_MessageClass)(BSTR* messageClass) override {
        if (HRESULT hr = Enter(kMail, L"MessageClass", messageClass); FAILED(hr))
            return hr;
        if (HRESULT hr = Reach(); FAILED(hr))
            return hr;
        const std::string name = m_message ? m_message->Class() : m_class;
        return TextOut(messageClass, std::wstring(name.begin(), name.end()));
    }

  private:
    // A stored item whose message was deleted is gone.
    HRESULT Reach() const {
        if (m_message)
            return m_message->IsDeleted() ? MAPI_E_NOT_FOUND : S_OK;
        return m_folder ? S_OK : E_UNEXPECTED;
    }
    // What a new item has before it is saved: its class, subject and body.
    HRESULT NewField(mailstore::PropTag tag, VARIANT* value) const {
        const mailstore::PropTag wide = mailstore::PropType(tag) == mailstore::kTypeString8
                                            ? mailstore::ChangeType(tag, mailstore::kTypeUnicode)
                                            : tag;
        std::optional<std::wstring> text;
        if (wide == mailstore::ChangeType(mailstore::tags::kMessageClass, mailstore::kTypeUnicode))
            text = std::wstring(m_class.begin(), m_class.end());
        else if (wide == mailstore::tags::kSubject)
            text = m_subject;
        else if (wide == mailstore::tags::kBody)
            text = m_body;
        return text ? safeitem::ToVariant(*text, value) : S_OK;
    }

    MessagePtr m_message;
    FolderPtr m_folder;
    std::string m_class;
    std::optional<std::wstring> m_subject, m_body;
};

class ATL_NO_VTABLE CRDOItems : public SessionObject<CRDOItems, IBVRDOItems> {
  public:
    BEGIN_COM_MAP(CRDOItems)
    COM_INTERFACE_ENTRY(IBVRDOItems)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    void SetFolder(FolderPtr folder) { m_folder = std::move(folder); }

    STDMETHOD(get_Count)(LONG* count) override {
        if (HRESULT hr = Enter(kItems, L"Count", count); FAILED(hr))
            return hr;
        if (!count)
            return E_POINTER;
        if (m_folder->IsDeleted())
            return MAPI_E_NOT_FOUND;
        *count = static_cast<LONG>(m_folder->HiddenMessages().size());
        return S_OK;
    }
    STDMETHOD(Item)(LONG index, IBVRDOMail** item) override {
        if (HRESULT hr = Enter(kItems, L"Item", item); FAILED(hr))
            return hr;
        if (!item)
            return E_POINTER;
        *item = nullptr;
        if (m_folder->IsDeleted())
            return MAPI_E_NOT_FOUND;
        const std::vector<MessagePtr> hidden = m_folder->HiddenMessages();
        if (index < 1 || index > static_cast<LONG>(hidden.size()))
            return DISP_E_BADINDEX;
        CComPtr<CRDOMail> mail = MakeObject<CRDOMail>();
        if (mail)
            mail->SetMessage(hidden[static_cast<std::size_t>(index - 1)]);
        return HandOut(mail, item);
    }
    STDMETHOD(Add)(BSTR messageClass, IBVRDOMail** item) override {
        if (HRESULT hr = Enter(kItems, L"Add", item); FAILED(hr))
            return hr;
        if (!item)
            return E_POINTER;
        *item = nullptr;
        if (m_folder->IsDeleted())
            return MAPI_E_NOT_FOUND;
        const std::wstring name = TextOf(messageClass);
        CComPtr<CRDOMail> mail = MakeObject<CRDOMail>();
        if (mail)
            mail->SetNew(m_folder, name.empty() ? std::string("IPM.Note")
                                                : std::string(name.begin(), name.end()));
        return HandOut(mail, item);
    }

  private:
    FolderPtr m_folder;
};

// --- Folders ------------------------------------------------------------------

class ATL_NO_VTABLE CRDOFolder : public SessionObject<CRDOFolder, IBVRDOFolder> {
  public:
    BEGIN_COM_MAP(CRDOFolder)
    COM_INTERFACE_ENTRY(IBVRDOFolder)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    void SetFolder(FolderPtr folder) { m_folder = std::move(folder); }

    STDMETHOD(get_Parent)(IBVRDOFolder** parent) override {
        if (HRESULT hr = Enter(kFolder, L"Parent", parent); FAILED(hr))
            return hr;
        if (!parent)
            return E_POINTER;
        *parent = nullptr;
        if (m_folder->IsDeleted())
            return MAPI_E_NOT_FOUND;
        FolderPtr above = m_folder->Parent();
        return above ? WrapFolder(std::move(above), parent) : MAPI_E_NOT_FOUND;
    }
    STDMETHOD(get_EntryID)(BSTR* entryId) override {
        if (HRESULT hr = Enter(kFolder, L"EntryID", entryId); FAILED(hr))
            return hr;
        if (m_folder->IsDeleted())
            return MAPI_E_NOT_FOUND;
        return TextOut(entryId, mailstore::EntryIdToHex(m_folder->Id()));
    }
    STDMETHOD(get_StoreID)(BSTR* storeId) override {
        if (HRESULT hr = Enter(kFolder, L"StoreID", storeId); FAILED(hr))
            return hr;
        const StorePtr store = m_folder->OwningStore();
        if (m_folder->IsDeleted() || !store)
            return MAPI_E_NOT_FOUND;
        return TextOut(storeId, mailstore::EntryIdToHex(store->Id()));
    }
    STDMETHOD(get_HiddenItems)(IBVRDOItems** items) override {
        if (HRESULT hr = Enter(kFolder, L"HiddenItems", items); FAILED(hr))
            return hr;
        if (!items)
            return E_POINTER;
        *items = nullptr;
        if (m_folder->IsDeleted())
            return MAPI_E_NOT_FOUND;
        CComPtr<CRDOItems> hidden = MakeObject<CRDOItems>();
        if (hidden)
            hidden->SetFolder(m_folder);
        return HandOut(hidden, items);
    }
    STDMETHOD(get_Name)(BSTR* name) override {
        if (HRESULT hr = Enter(kFolder, L"Name", name); FAILED(hr))
            return hr;
        if (m_folder->IsDeleted())
            return MAPI_E_NOT_FOUND;
        return TextOut(name, m_folder->Name());
    }

  private:
    FolderPtr m_folder;
};

HRESULT WrapFolder(FolderPtr folder, IBVRDOFolder** out) {
    CComPtr<CRDOFolder> object = MakeObject<CRDOFolder>();
    if (object)
        object->SetFolder(std::move(folder));
    return HandOut(object, out);
}

HRESULT DefaultFolderOf(const StorePtr& store, LONG kind, IBVRDOFolder** folder) {
    if (!folder)
        return E_POINTER;
    *folder = nullptr;
    FolderPtr found =
        store ? store->DefaultFolderOf(static_cast<mailstore::DefaultFolder>(kind)) : nullptr;
    return found ? WrapFolder(std::move(found), folder) : MAPI_E_NOT_FOUND;
}

// --- Stores -------------------------------------------------------------------

LONG KindOf(const mailstore::Store& store) {
    switch (store.Kind()) {
        case mailstore::StoreKind::ExchangeMailbox:
            return kStoreKindPrimaryExchangeMailbox;
        case mailstore::StoreKind::PublicFolders:
            return kStoreKindPublicFolders;
        case mailstore::StoreKind::PersonalFolders:
            return kStoreKindPstUnicode;
    }
    return kStoreKindUnknown;
}

// The members every store answers; the Exchange mailbox adds its cached mode.
template <class Self, class Interface, const IID*... More>
class ATL_NO_VTABLE StoreObject : public SessionObject<Self, Interface, More...> {
  public:
    void SetStore(StorePtr store) { m_store = std::move(store); }

    STDMETHOD(get_StoreKind)(LONG* kind) override {
        if (HRESULT hr = Enter(kStore, L"StoreKind", kind); FAILED(hr))
            return hr;
        if (!kind)
            return E_POINTER;
        *kind = KindOf(*m_store);
        return S_OK;
    }
    STDMETHOD(GetDefaultFolder)(LONG kind, IBVRDOFolder** folder) override {
        if (HRESULT hr = Enter(kStore, L"GetDefaultFolder", folder); FAILED(hr))
            return hr;
        return DefaultFolderOf(m_store, kind, folder);
    }
    STDMETHOD(get_EntryID)(BSTR* entryId) override {
        if (HRESULT hr = Enter(kStore, L"EntryID", entryId); FAILED(hr))
            return hr;
        return TextOut(entryId, mailstore::EntryIdToHex(m_store->Id()));
    }
    STDMETHOD(get_Name)(BSTR* name) override {
        if (HRESULT hr = Enter(kStore, L"Name", name); FAILED(hr))
            return hr;
        return TextOut(name, m_store->DisplayName());
    }

  protected:
    StorePtr m_store;
};

class ATL_NO_VTABLE CRDOStore : public StoreObject<CRDOStore, IBVRDOStore> {
  public:
    BEGIN_COM_MAP(CRDOStore)
    COM_INTERFACE_ENTRY(IBVRDOStore)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()
};

class ATL_NO_VTABLE CRDOExchangeStore
    : public StoreObject<CRDOExchangeStore, IBVRDOExchangeMailboxStore, &__uuidof(IBVRDOStore)> {
  public:
    BEGIN_COM_MAP(CRDOExchangeStore)
    COM_INTERFACE_ENTRY(IBVRDOExchangeMailboxStore)
    COM_INTERFACE_ENTRY(IBVRDOStore)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    STDMETHOD(get_IsCached)(VARIANT_BOOL* cached) override {
        if (HRESULT hr = Enter(kExchangeStore, L"IsCached", cached); FAILED(hr))
            return hr;
        if (!cached)
            return E_POINTER;
        *cached = m_store->CachedMode() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
};

HRESULT WrapStore(StorePtr store, IBVRDOStore** out) {
    if (store->Kind() == mailstore::StoreKind::ExchangeMailbox) {
        CComPtr<CRDOExchangeStore> object = MakeObject<CRDOExchangeStore>();
        if (object)
            object->SetStore(std::move(store));
        return HandOut(object, out);
    }
    CComPtr<CRDOStore> object = MakeObject<CRDOStore>();
    if (object)
        object->SetStore(std::move(store));
    return HandOut(object, out);
}

class ATL_NO_VTABLE CRDOStores : public SessionObject<CRDOStores, IBVRDOStores> {
  public:
    BEGIN_COM_MAP(CRDOStores)
    COM_INTERFACE_ENTRY(IBVRDOStores)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    void SetProfile(mailstore::ProfilePtr profile) { m_profile = std::move(profile); }

    STDMETHOD(get_Count)(LONG* count) override {
        if (HRESULT hr = Enter(kStores, L"Count", count); FAILED(hr))
            return hr;
        if (!count)
            return E_POINTER;
        *count = static_cast<LONG>(m_profile->Stores().size());
        return S_OK;
    }
    STDMETHOD(Item)(LONG index, IBVRDOStore** store) override {
        if (HRESULT hr = Enter(kStores, L"Item", store); FAILED(hr))
            return hr;
        if (!store)
            return E_POINTER;
        *store = nullptr;
        const std::vector<StorePtr> stores = m_profile->Stores();
        if (index < 1 || index > static_cast<LONG>(stores.size()))
            return DISP_E_BADINDEX;
        return WrapStore(stores[static_cast<std::size_t>(index - 1)], store);
    }

  private:
    mailstore::ProfilePtr m_profile;
};

// --- The session --------------------------------------------------------------

class ATL_NO_VTABLE CBVRDOSession : public CComObjectRootEx<CComSingleThreadModel>,
                                    public CComCoClass<CBVRDOSession, &CLSID_BVRDOSession>,
                                    public standins::CMemberlessDispatch<IBVRDOSession>,
                                    public standins::CErrorInfoSupport<&__uuidof(IBVRDOSession)> {
  public:
    DECLARE_REGISTRY_RESOURCEID(IDR_BVRDOSESSION)
    DECLARE_NOT_AGGREGATABLE(CBVRDOSession)

    BEGIN_COM_MAP(CBVRDOSession)
    COM_INTERFACE_ENTRY(IBVRDOSession)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    STDMETHOD(Logon)
    (BSTR profileName, BSTR, VARIANT_BOOL, VARIANT_BOOL, SHORT, VARIANT_BOOL) override {
        if (HRESULT hr = Enter(kSession, L"Logon"); FAILED(hr))
            return hr;
        const std::wstring name = TextOf(profileName);
        mailstore::ProfilePtr profile =
            name.empty() ? Store().CurrentProfile() : ProfileNamed(name);
        if (!profile)
            return MAPI_E_LOGON_FAILED;
        m_profile = std::move(profile);
        return S_OK;
    }
    STDMETHOD(get_Stores)(IBVRDOStores** stores) override {
        if (HRESULT hr = Enter(kSession, L"Stores", stores); FAILED(hr))
            return hr;
        if (!stores)
            return E_POINTER;
        *stores = nullptr;
        if (!m_profile)
            return MAPI_E_NOT_INITIALIZED;
        CComPtr<CRDOStores> object = MakeObject<CRDOStores>();
        if (object)
            object->SetProfile(m_profile);
        return HandOut(object, stores);
    }
    STDMETHOD(GetDefaultFolder)(LONG kind, IBVRDOFolder** folder) override {
        if (HRESULT hr = Enter(kSession, L"GetDefaultFolder", folder); FAILED(hr))
            return hr;
        if (!folder)
            return E_POINTER;
        *folder = nullptr;
        if (!m_profile)
            return MAPI_E_NOT_INITIALIZED;
        return DefaultFolderOf(m_profile->DefaultStore(), kind, folder);
    }
    STDMETHOD(GetFolderFromID)
    (BSTR entryId, BSTR storeId, LONG flags, IBVRDOFolder** folder) override {
        if (HRESULT hr = Enter(kSession, L"GetFolderFromID", folder); FAILED(hr))
            return hr;
        if (!folder)
            return E_POINTER;
        *folder = nullptr;
        if (!m_profile)
            return MAPI_E_NOT_INITIALIZED;
        if (flags & ~kKnownOpenFlags)
            return MAPI_E_UNKNOWN_FLAGS;
        const auto id = mailstore::EntryIdFromHex(TextOf(entryId));
        if (!id)
            return MAPI_E_INVALID_ENTRYID;
        std::optional<mailstore::EntryId> store;
        if (SysStringLen(storeId) != 0) {
            store = mailstore::EntryIdFromHex(TextOf(storeId));
            if (!store)
                return MAPI_E_INVALID_ENTRYID;
        }
        FolderPtr found = Store().FindFolder(*id);
        if (!found)
            return MAPI_E_NOT_FOUND;
        const StorePtr owner = found->OwningStore();
        if (store && (!owner || owner->Id() != *store))
            return MAPI_E_NOT_FOUND;
        return WrapFolder(std::move(found), folder);
    }

  private:
    mailstore::ProfilePtr m_profile;
};

OBJECT_ENTRY_AUTO(CLSID_BVRDOSession, CBVRDOSession)

}  // namespace
