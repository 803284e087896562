// Message stores, folders and messages over the model.
#include "objects.h"

#include <cstring>

#include "advise.h"

namespace mapiview {
namespace {

using mailstore::PropValue;

std::optional<PropValue> Long(std::uint32_t value) {
    return MakeValue<std::int32_t>(static_cast<std::int32_t>(value));
}

// ---- Store ------------------------------------------------------------------

class MsgStore : public PropObject<IMsgStore> {
  public:
    explicit MsgStore(mailstore::StorePtr store)
        : PropObject(L"IMsgStore"), m_store(std::move(store)) {}

    STDMETHOD(Advise)
    (ULONG size, LPENTRYID id, ULONG mask, LPMAPIADVISESINK sink, ULONG* connection) override {
        if (HRESULT hr = Enter(L"Advise", connection); FAILED(hr))
            return hr;
        if (!sink || !connection)
            return MAPI_E_INVALID_PARAMETER;
        // Only the whole store is watched here.
        if (id && size)
            return MAPI_E_NO_SUPPORT;
        if (m_store->IsDeleted())
            return MAPI_E_OBJECT_DELETED;
        *connection = m_store->Advise(mask, NotifierFor(sink));
        return S_OK;
    }
    STDMETHOD(Unadvise)(ULONG connection) override {
        if (HRESULT hr = Enter(L"Unadvise"); FAILED(hr))
            return hr;
        return m_store->Unadvise(connection) ? S_OK : MAPI_E_NOT_FOUND;
    }
    STDMETHOD(CompareEntryIDs)
    (ULONG size1, LPENTRYID id1, ULONG size2, LPENTRYID id2, ULONG, ULONG* result) override {
        if (HRESULT hr = Enter(L"CompareEntryIDs", result); FAILED(hr))
            return hr;
        if (!result)
            return MAPI_E_INVALID_PARAMETER;
        *result = ToEntryId(size1, id1) == ToEntryId(size2, id2);
        return S_OK;
    }
    STDMETHOD(OpenEntry)
    (ULONG size, LPENTRYID id, LPCIID, ULONG, ULONG* type, LPUNKNOWN* object) override {
        if (HRESULT hr = Enter(L"OpenEntry", type, object); FAILED(hr))
            return hr;
        return OpenInStore(m_store, size, id, type, object);
    }
    STDMETHOD(SetReceiveFolder)(LPTSTR, ULONG, ULONG, LPENTRYID) override {
        return Unsupported(L"SetReceiveFolder");
    }
    STDMETHOD(GetReceiveFolder)
    (LPTSTR messageClass, ULONG flags, ULONG* size, LPENTRYID* id, LPTSTR* explicitClass) override {
        if (HRESULT hr = Enter(L"GetReceiveFolder", size, id, explicitClass); FAILED(hr))
            return hr;
        if (!size || !id)
            return MAPI_E_INVALID_PARAMETER;
        *size = 0;
        *id = nullptr;
        if (explicitClass)
            *explicitClass = nullptr;
        const bool wide = (flags & MAPI_UNICODE) != 0;
        const std::string wanted = !messageClass ? ""
                                   : wide        ? Narrow(reinterpret_cast<LPWSTR>(messageClass))
                                                 : reinterpret_cast<LPSTR>(messageClass);
        mailstore::FolderPtr folder = m_store->ReceiveFolder(wanted.empty() ? "IPM" : wanted);
        if (!folder)
            return MAPI_E_NOT_FOUND;
        void* block = nullptr;
        const mailstore::EntryId folderId = folder->Id();
        if (FAILED(AllocateBuffer(static_cast<ULONG>(folderId.size()), &block)))
            return MAPI_E_NOT_ENOUGH_MEMORY;
        std::memcpy(block, folderId.data(), folderId.size());
        *id = static_cast<LPENTRYID>(block);
        *size = static_cast<ULONG>(folderId.size());
        if (explicitClass) {
            const std::wstring wideClass = Wide(wanted);
            const size_t bytes = wide ? (wideClass.size() + 1) * sizeof(WCHAR) : wanted.size() + 1;
            if (SUCCEEDED(AllocateBuffer(static_cast<ULONG>(bytes), &block))) {
                std::memcpy(block,
                            wide ? static_cast<const void*>(wideClass.c_str()) : wanted.c_str(),
                            bytes);
                *explicitClass = static_cast<LPTSTR>(block);
            }
        }
        return S_OK;
    }
    STDMETHOD(GetReceiveFolderTable)(ULONG, LPMAPITABLE*) override {
        return Unsupported(L"GetReceiveFolderTable");
    }
    STDMETHOD(StoreLogoff)(ULONG*) override { return Enter(L"StoreLogoff"); }
    STDMETHOD(AbortSubmit)(ULONG, LPENTRYID, ULONG) override { return Unsupported(L"AbortSubmit"); }
    STDMETHOD(GetOutgoingQueue)(ULONG, LPMAPITABLE*) override {
        return Unsupported(L"GetOutgoingQueue");
    }
    STDMETHOD(SetLockState)(LPMESSAGE, ULONG) override { return Unsupported(L"SetLockState"); }
    STDMETHOD(FinishedMsg)(ULONG, ULONG, LPENTRYID) override { return Unsupported(L"FinishedMsg"); }
    STDMETHOD(NotifyNewMail)(LPNOTIFICATION) override { return Unsupported(L"NotifyNewMail"); }

  protected:
    bool Answers(REFIID iid) const override {
        return iid == IID_IUnknown || iid == IID_IMAPIProp || iid == IID_IMsgStore;
    }
    std::optional<PropValue> Find(ULONG tag) const override {
        switch (PROP_ID(tag)) {
            case PROP_ID(PR_ENTRYID):
            case PROP_ID(PR_STORE_ENTRYID):
            case PROP_ID(PR_RECORD_KEY):
                return MakeValue<mailstore::Bytes>(m_store->Id());
            case PROP_ID(PR_DISPLAY_NAME_W):
                return MakeValue<std::wstring>(m_store->DisplayName());
            case PROP_ID(PR_MDB_PROVIDER):
                return MakeValue<mailstore::Bytes>(m_store->ProviderId());
            case PROP_ID(PR_OBJECT_TYPE):
                return Long(MAPI_STORE);
            case PROP_ID(PR_IPM_SUBTREE_ENTRYID):
                if (auto subtree = m_store->IpmSubtree())
                    return MakeValue<mailstore::Bytes>(subtree->Id());
                return std::nullopt;
            default:
                return std::nullopt;
        }
    }
    std::vector<ULONG> AllTags() const override {
        return {PR_ENTRYID,      PR_STORE_ENTRYID, PR_RECORD_KEY,         PR_DISPLAY_NAME_W,
                PR_MDB_PROVIDER, PR_OBJECT_TYPE,   PR_IPM_SUBTREE_ENTRYID};
    }

  private:
    mailstore::StorePtr m_store;
};

// ---- Folder -----------------------------------------------------------------

class Folder : public PropObject<IMAPIFolder> {
  public:
    explicit Folder(mailstore::FolderPtr folder)
        : PropObject(L"IMAPIFolder"), m_folder(std::move(folder)) {}

    STDMETHOD(GetContentsTable)(ULONG, LPMAPITABLE*) override {
        return Unsupported(L"GetContentsTable");
    }
    STDMETHOD(GetHierarchyTable)(ULONG, LPMAPITABLE*) override {
        return Unsupported(L"GetHierarchyTable");
    }
    STDMETHOD(OpenEntry)
    (ULONG size, LPENTRYID id, LPCIID, ULONG, ULONG* type, LPUNKNOWN* object) override {
        if (HRESULT hr = Enter(L"OpenEntry", type, object); FAILED(hr))
            return hr;
        mailstore::StorePtr store = m_folder->OwningStore();
        if (!store)
            return MAPI_E_OBJECT_DELETED;
        return OpenInStore(store, size, id, type, object);
    }
    STDMETHOD(SetSearchCriteria)(LPSRestriction, LPENTRYLIST, ULONG) override {
        return Unsupported(L"SetSearchCriteria");
    }
    STDMETHOD(GetSearchCriteria)(ULONG, LPSRestriction*, LPENTRYLIST*, ULONG*) override {
        return Unsupported(L"GetSearchCriteria");
    }
    STDMETHOD(CreateMessage)(LPCIID, ULONG, LPMESSAGE*) override {
        return Unsupported(L"CreateMessage");
    }
    STDMETHOD(CopyMessages)
    (LPENTRYLIST, LPCIID, LPVOID, ULONG_PTR, LPMAPIPROGRESS, ULONG) override {
        return Unsupported(L"CopyMessages");
    }
    STDMETHOD(DeleteMessages)(LPENTRYLIST, ULONG_PTR, LPMAPIPROGRESS, ULONG) override {
        return Unsupported(L"DeleteMessages");
    }
    STDMETHOD(CreateFolder)(ULONG, LPSTR, LPSTR, LPCIID, ULONG, LPMAPIFOLDER*) override {
        return Unsupported(L"CreateFolder");
    }
    STDMETHOD(CopyFolder)
    (ULONG, LPENTRYID, LPCIID, LPVOID, LPSTR, ULONG_PTR, LPMAPIPROGRESS, ULONG) override {
        return Unsupported(L"CopyFolder");
    }
    STDMETHOD(DeleteFolder)(ULONG, LPENTRYID, ULONG_PTR, LPMAPIPROGRESS, ULONG) override {
        return Unsupported(L"DeleteFolder");
    }
    STDMETHOD(SetReadFlags)(LPENTRYLIST, ULONG_PTR, LPMAPIPROGRESS, ULONG) override {
        return Unsupported(L"SetReadFlags");
    }
    STDMETHOD(GetMessageStatus)(ULONG, LPENTRYID, ULONG, ULONG*) override {
        return Unsupported(L"GetMessageStatus");
    }
    STDMETHOD(SetMessageStatus)(ULONG, LPENTRYID, ULONG, ULONG, ULONG*) override {
        return Unsupported(L"SetMessageStatus");
    }
    STDMETHOD(SaveContentsSort)(LPSSortOrderSet, ULONG) override {
        return Unsupported(L"SaveContentsSort");
    }
    STDMETHOD(EmptyFolder)(ULONG_PTR, LPMAPIPROGRESS, ULONG) override {
        return Unsupported(L"EmptyFolder");
    }

  protected:
    bool Answers(REFIID iid) const override {
        return iid == IID_IUnknown || iid == IID_IMAPIProp || iid == IID_IMAPIContainer ||
               iid == IID_IMAPIFolder;
    }
    std::optional<PropValue> Find(ULONG tag) const override {
        switch (PROP_ID(tag)) {
            case PROP_ID(PR_ENTRYID):
            case PROP_ID(PR_RECORD_KEY):
                return MakeValue<mailstore::Bytes>(m_folder->Id());
            case PROP_ID(PR_DISPLAY_NAME_W):
                return MakeValue<std::wstring>(m_folder->Name());
            case PROP_ID(PR_OBJECT_TYPE):
                return Long(MAPI_FOLDER);
            case PROP_ID(PR_PARENT_ENTRYID):
                if (auto parent = m_folder->Parent())
                    return MakeValue<mailstore::Bytes>(parent->Id());
                return MakeValue<mailstore::Bytes>(m_folder->Id());  // a root is its own parent
            case PROP_ID(PR_STORE_ENTRYID):
                if (auto store = m_folder->OwningStore())
                    return MakeValue<mailstore::Bytes>(store->Id());
                return std::nullopt;
            default:
                return std::nullopt;
        }
    }
    std::vector<ULONG> AllTags() const override {
        return {PR_ENTRYID,     PR_RECORD_KEY,     PR_DISPLAY_NAME_W,
                PR_OBJECT_TYPE, PR_PARENT_ENTRYID, PR_STORE_ENTRYID};
    }

  private:
    mailstore::FolderPtr m_folder;
};

// ---- Message ----------------------------------------------------------------

class Message : public PropObject<IMessage> {
  public:
    explicit Message(mailstore::MessagePtr message)
        : PropObject(L"IMessage"), m_message(std::move(message)) {}

    STDMETHOD(SetProps)(ULONG count, LPSPropValue values, LPSPropProblemArray* problems) override {
        if (HRESULT hr = Enter(L"SetProps", problems); FAILED(hr))
            return hr;
        if (!values)
            return MAPI_E_INVALID_PARAMETER;
        if (problems)
            *problems = nullptr;
        if (m_message->IsDeleted())
            return MAPI_E_OBJECT_DELETED;
        std::vector<SPropProblem> refused;
        for (ULONG i = 0; i < count; ++i) {
            auto value = FromPropValue(values[i]);
            SCODE error = MAPI_E_INVALID_TYPE;
            if (value) {
                try {
                    m_message->Set(values[i].ulPropTag, std::move(*value));
                    continue;
                } catch (const mailstore::StoreError&) {
                    error = MAPI_E_COMPUTED;
                }
            }
            refused.push_back({i, values[i].ulPropTag, error});
        }
        if (problems && !refused.empty()) {
            void* block = nullptr;
            const ULONG size = static_cast<ULONG>(offsetof(SPropProblemArray, aProblem) +
                                                  refused.size() * sizeof(SPropProblem));
            if (SUCCEEDED(AllocateBuffer(size, &block))) {
                auto* array = static_cast<LPSPropProblemArray>(block);
                array->cProblem = static_cast<ULONG>(refused.size());
                std::memcpy(array->aProblem, refused.data(), refused.size() * sizeof(SPropProblem));
                *problems = array;
            }
        }
        return S_OK;
    }
    STDMETHOD(DeleteProps)(LPSPropTagArray tags, LPSPropProblemArray* problems) override {
        if (HRESULT hr = Enter(L"DeleteProps", problems); FAILED(hr))
            return hr;
        if (!tags)
            return MAPI_E_INVALID_PARAMETER;
        if (problems)
            *problems = nullptr;
        for (ULONG i = 0; i < tags->cValues; ++i) {
            try {
                m_message->Remove(tags->aulPropTag[i]);
            } catch (const mailstore::StoreError&) {
            }
        }
        return S_OK;
    }
    // The model keeps every change as it is made.
    STDMETHOD(SaveChanges)(ULONG) override {
        if (HRESULT hr = Enter(L"SaveChanges"); FAILED(hr))
            return hr;
        return m_message->IsDeleted() ? MAPI_E_OBJECT_DELETED : S_OK;
    }

    STDMETHOD(GetAttachmentTable)(ULONG, LPMAPITABLE*) override {
        return Unsupported(L"GetAttachmentTable");
    }
    STDMETHOD(OpenAttach)(ULONG, LPCIID, ULONG, LPATTACH*) override {
        return Unsupported(L"OpenAttach");
    }
    STDMETHOD(CreateAttach)(LPCIID, ULONG, ULONG*, LPATTACH*) override {
        return Unsupported(L"CreateAttach");
    }
    STDMETHOD(DeleteAttach)(ULONG, ULONG_PTR, LPMAPIPROGRESS, ULONG) override {
        return Unsupported(L"DeleteAttach");
    }
    STDMETHOD(GetRecipientTable)(ULONG, LPMAPITABLE*) override {
        return Unsupported(L"GetRecipientTable");
    }
    STDMETHOD(ModifyRecipients)(ULONG, LPADRLIST) override {
        return Unsupported(L"ModifyRecipients");
    }
    STDMETHOD(SubmitMessage)(ULONG) override { return Unsupported(L"SubmitMessage"); }
    STDMETHOD(SetReadFlag)(ULONG flags) override {
        if (HRESULT hr = Enter(L"SetReadFlag"); FAILED(hr))
            return hr;
        constexpr ULONG kKnown = SUPPRESS_RECEIPT | CLEAR_READ_FLAG | GENERATE_RECEIPT_ONLY |
                                 CLEAR_RN_PENDING | CLEAR_NRN_PENDING | MAPI_DEFERRED_ERRORS;
        if (flags & ~kKnown)
            return MAPI_E_UNKNOWN_FLAGS;
        if ((flags & SUPPRESS_RECEIPT) && (flags & CLEAR_READ_FLAG))
            return MAPI_E_INVALID_PARAMETER;
        if (m_message->IsDeleted())
            return MAPI_E_OBJECT_DELETED;
        if (flags & GENERATE_RECEIPT_ONLY)
            return S_OK;
        // Setting the read flag settles a pending receipt whether or not one
        // is sent; suppressing it sends none.
        m_message->SetRead((flags & CLEAR_READ_FLAG) == 0);
        return S_OK;
    }

  protected:
    bool Answers(REFIID iid) const override {
        return iid == IID_IUnknown || iid == IID_IMAPIProp || iid == IID_IMessage;
    }
    std::optional<PropValue> Find(ULONG tag) const override {
        if (PROP_ID(tag) == PROP_ID(PR_OBJECT_TYPE))
            return Long(MAPI_MESSAGE);
        if (PROP_TYPE(tag) != PT_UNSPECIFIED)
            if (auto value = m_message->Get(tag))
                return value;
        for (const auto& [stored, value] : m_message->AllProperties())
            if (PROP_ID(stored) == PROP_ID(tag))
                return value;
        return std::nullopt;
    }
    std::vector<ULONG> AllTags() const override {
        std::vector<ULONG> tags;
        for (const auto& property : m_message->AllProperties())
            tags.push_back(property.first);
        tags.push_back(PR_OBJECT_TYPE);
        return tags;
    }

  private:
    mailstore::MessagePtr m_message;
};

template <class Object, class Interface, class Model>
HRESULT Make(const Model& model, Interface** object) {
    if (!object)
        return MAPI_E_INVALID_PARAMETER;
    *object = nullptr;
    if (!model || model->IsDeleted())
        return MAPI_E_NOT_FOUND;
    *object = new Object(model);
    return S_OK;
}

}  // namespace

HRESULT NewMsgStore(const mailstore::StorePtr& store, IMsgStore** object) {
    return Make<MsgStore>(store, object);
}
HRESULT NewFolder(const mailstore::FolderPtr& folder, IMAPIFolder** object) {
    return Make<Folder>(folder, object);
}
HRESULT NewMessage(const mailstore::MessagePtr& message, IMessage** object) {
    return Make<Message>(message, object);
}

HRESULT OpenInStore(const mailstore::StorePtr& store, ULONG size, LPENTRYID id, ULONG* type,
                    LPUNKNOWN* object) {
    if (!type || !object)
        return MAPI_E_INVALID_PARAMETER;
    *object = nullptr;
    *type = 0;
    // No identifier opens the store's root folder.
    if (!id || size == 0) {
        IMAPIFolder* root = nullptr;
        const HRESULT hr = NewFolder(store->Root(), &root);
        *object = root;
        *type = MAPI_FOLDER;
        return hr;
    }
    const mailstore::EntryId entryId = ToEntryId(size, id);
    mailstore::Model& model = TheModel();
    if (auto folder = model.FindFolder(entryId); folder && folder->OwningStore() == store) {
        IMAPIFolder* opened = nullptr;
        const HRESULT hr = NewFolder(folder, &opened);
        *object = opened;
        *type = MAPI_FOLDER;
        return hr;
    }
    if (auto message = model.FindMessage(entryId); message && message->OwningStore() == store) {
        IMessage* opened = nullptr;
        const HRESULT hr = NewMessage(message, &opened);
        *object = opened;
        *type = MAPI_MESSAGE;
        return hr;
    }
    return MAPI_E_NOT_FOUND;
}

HRESULT MessageFor(const mailstore::MessagePtr& message, IMessage** object) {
    return NewMessage(message, object);
}

}  // namespace mapiview
