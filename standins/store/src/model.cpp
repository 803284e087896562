// The model's registry of objects, its identifiers and its notifications,
// and the profiles and stores.
#include <mailstore/model.h>

#include "store_uid.h"

#include <windows.h>

#include <platform/clock.h>

#include <algorithm>
#include <cwctype>

namespace mailstore {

const Bytes kExchangePrivateProvider = {0x54, 0x94, 0xA1, 0xC0, 0x29, 0x7F, 0x10, 0x1B,
                                        0xA5, 0x87, 0x08, 0x00, 0x2B, 0x2A, 0x25, 0x17};
const Bytes kExchangePublicProvider = {0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD,
                                       0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A};
const Bytes kPersonalFoldersProvider = {0x4E, 0x49, 0x54, 0x41, 0xF9, 0xBF, 0xB8, 0x01,
                                        0x00, 0xAA, 0x00, 0x37, 0xD9, 0x6E, 0x00, 0x00};

namespace {

// Store entry identifiers wrap the store's own 16 bytes behind this marker,
// so they never have the length of a folder's or a message's.
const Bytes kStoreWrapper = {0x38, 0xA1, 0xBB, 0x10, 0x05, 0xE5, 0x10, 0x1A,
                             0xA1, 0xBB, 0x08, 0x00, 0x2B, 0x2A, 0x56, 0xC2};

void AppendBigEndian(Bytes& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

}  // namespace

std::wstring DefaultFolderName(DefaultFolder kind) {
    switch (kind) {
        case DefaultFolder::DeletedItems:
            return L"Deleted Items";
        case DefaultFolder::Outbox:
            return L"Outbox";
        case DefaultFolder::SentMail:
            return L"Sent Items";
        case DefaultFolder::Inbox:
            return L"Inbox";
        case DefaultFolder::Calendar:
            return L"Calendar";
        case DefaultFolder::Contacts:
            return L"Contacts";
        case DefaultFolder::Journal:
            return L"Journal";
        case DefaultFolder::Notes:
            return L"Notes";
        case DefaultFolder::Tasks:
            return L"Tasks";
        case DefaultFolder::Drafts:
            return L"Drafts";
        case DefaultFolder::Junk:
            return L"Junk E-mail";
    }
    return {};
}

Model::Model() = default;
Model::~Model() {
    Clear();
}

Model& Model::Process() {
    static Model model;
    return model;
}

ProfilePtr Model::AddProfile(const std::wstring& name) {
    std::lock_guard guard(m_lock);
    auto profile = std::make_shared<Profile>(*this, name);
    m_profiles.push_back(profile);
    if (!m_current)
        m_current = profile;
    return profile;
}

ProfilePtr Model::FindProfile(std::wstring_view name) const {
    std::lock_guard guard(m_lock);
    for (const auto& profile : m_profiles) {
        if (profile->m_name == name)
            return profile;
    }
    return nullptr;
}

std::vector<ProfilePtr> Model::Profiles() const {
    std::lock_guard guard(m_lock);
    return m_profiles;
}

ProfilePtr Model::CurrentProfile() const {
    std::lock_guard guard(m_lock);
    return m_current;
}

void Model::SetCurrentProfile(const ProfilePtr& profile) {
    std::lock_guard guard(m_lock);
    m_current = profile;
}

void Model::Clear() {
    std::lock_guard guard(m_lock);
    for (const auto& profile : m_profiles) {
        for (const auto& store : profile->m_stores) {
            store->m_deleted = true;
            Forget(store->m_root);
        }
    }
    m_profiles.clear();
    m_current.reset();
    m_stores.clear();
    m_folders.clear();
    m_messages.clear();
}

StorePtr Model::FindStore(const EntryId& id) const {
    std::lock_guard guard(m_lock);
    const auto it = m_stores.find(id);
    return it == m_stores.end() ? nullptr : it->second.lock();
}

FolderPtr Model::FindFolder(const EntryId& id) const {
    std::lock_guard guard(m_lock);
    const auto it = m_folders.find(id);
    return it == m_folders.end() ? nullptr : it->second.lock();
}

MessagePtr Model::FindMessage(const EntryId& id) const {
    std::lock_guard guard(m_lock);
    const auto it = m_messages.find(id);
    return it == m_messages.end() ? nullptr : it->second.lock();
}

EntryId Model::NewObjectId(const Store& store, std::uint64_t serial) const {
    EntryId id(4, 0);  // the flags of a long-term identifier
    id.insert(id.end(), store.m_uid.begin(), store.m_uid.end());
    AppendBigEndian(id, static_cast<std::uint32_t>(serial));
    return id;
}

FolderPtr Model::NewFolder(const StorePtr& store, const FolderPtr& parent, const std::wstring& name,
                           Pending& pending) {
    auto folder = std::make_shared<Folder>(*this, m_nextSerial++, name);
    folder->m_id = NewObjectId(*store, folder->m_serial);
    folder->m_store = store;
    folder->m_parent = parent;
    m_folders[folder->m_id] = folder;
    if (parent) {
        parent->m_subfolders.push_back(folder);
        Notification created;
        created.event = kEventObjectCreated;
        created.objectType = kObjectTypeFolder;
        created.entryId = folder->m_id;
        created.parentId = parent->m_id;
        Queue(pending, *store, std::move(created));
    }
    return folder;
}

MessagePtr Model::NewMessage(const FolderPtr& folder, bool associated) {
    const StorePtr store = folder->m_store.lock();
    auto message = std::make_shared<Message>(*this, m_nextSerial++);
    message->m_id = NewObjectId(*store, message->m_serial);
    message->m_parent = folder;
    message->m_associated = associated;
    (associated ? folder->m_hidden : folder->m_messages).push_back(message);
    m_messages[message->m_id] = message;
    return message;
}

void Model::Forget(const FolderPtr& folder) {
    if (!folder)
        return;
    folder->m_deleted = true;
    m_folders.erase(folder->m_id);
    for (const auto* list : {&folder->m_messages, &folder->m_hidden}) {
        for (const auto& message : *list) {
            message->m_deleted = true;
            m_messages.erase(message->m_id);
        }
    }
    for (const auto& child : folder->m_subfolders)
        Forget(child);
}

void Model::Queue(Pending& pending, const Store& store, Notification notification) const {
    for (const auto& [connection, subscription] : store.m_subscriptions) {
        if (subscription.mask & notification.event) {
            pending.calls.emplace_back(subscription.callback, notification);
        }
    }
}

void Model::Send(Pending& pending) const {
    for (const auto& [callback, notification] : pending.calls)
        (*callback)(notification);
    pending.calls.clear();
}

Notification Model::About(const Message& message, std::uint32_t event) {
    Notification notification;
    notification.event = event;
    notification.objectType = kObjectTypeMessage;
    notification.entryId = message.m_id;
    if (const FolderPtr parent = message.m_parent.lock())
        notification.parentId = parent->m_id;
    notification.messageClass = message.Class();
    notification.messageFlags = message.Flags();
    return notification;
}

// Profiles

Profile::Profile(Model& model, std::wstring name) : m_model(model), m_name(std::move(name)) {}

std::wstring Profile::Name() const {
    return m_name;
}

StorePtr Profile::AddStore(const StoreSettings& settings) {
    std::lock_guard guard(m_model.m_lock);
    Model::Pending none;  // nobody can have subscribed to a store not yet made
    auto store = std::make_shared<Store>(m_model, settings);
    store->m_uid = NewStoreUid();
    store->m_id = EntryId(4, 0);
    store->m_id.insert(store->m_id.end(), kStoreWrapper.begin(), kStoreWrapper.end());
    store->m_id.insert(store->m_id.end(), store->m_uid.begin(), store->m_uid.end());
    m_model.m_stores[store->m_id] = store;

    store->m_root = m_model.NewFolder(store, nullptr, L"", none);
    const wchar_t* subtreeName =
        settings.kind == StoreKind::ExchangeMailbox   ? L"Top of Information Store"
        : settings.kind == StoreKind::PersonalFolders ? L"Top of Personal Folders"
                                                      : L"IPM_SUBTREE";
    store->m_ipmSubtree = m_model.NewFolder(store, store->m_root, subtreeName, none);
    std::vector<DefaultFolder> defaults;
    if (settings.kind == StoreKind::PublicFolders) {
        m_model.NewFolder(store, store->m_ipmSubtree, L"All Public Folders", none);
    } else if (settings.hasInbox) {
        defaults = {DefaultFolder::Inbox,        DefaultFolder::Outbox,   DefaultFolder::SentMail,
                    DefaultFolder::DeletedItems, DefaultFolder::Drafts,   DefaultFolder::Junk,
                    DefaultFolder::Calendar,     DefaultFolder::Contacts, DefaultFolder::Journal,
                    DefaultFolder::Notes,        DefaultFolder::Tasks};
    } else {
        defaults = {DefaultFolder::DeletedItems};  // an archive
    }
    for (DefaultFolder kind : defaults) {
        store->m_defaults[kind] =
            m_model.NewFolder(store, store->m_ipmSubtree, DefaultFolderName(kind), none);
    }
    m_stores.push_back(store);
    return store;
}

std::vector<StorePtr> Profile::Stores() const {
    std::lock_guard guard(m_model.m_lock);
    return m_stores;
}

StorePtr Profile::DefaultStore() const {
    std::lock_guard guard(m_model.m_lock);
    for (const auto& store : m_stores) {
        if (store->ReceiveFolder())
            return store;
    }
    return nullptr;
}

void Profile::RemoveStore(const StorePtr& store) {
    std::lock_guard guard(m_model.m_lock);
    const auto it = std::find(m_stores.begin(), m_stores.end(), store);
    if (it == m_stores.end())
        return;
    store->m_deleted = true;
    m_model.m_stores.erase(store->m_id);
    m_model.Forget(store->m_root);
    m_stores.erase(it);
}

// Stores

Store::Store(Model& model, StoreSettings settings)
    : m_model(model), m_settings(std::move(settings)) {}

EntryId Store::Id() const {
    return m_id;
}
StoreKind Store::Kind() const {
    return m_settings.kind;
}
std::wstring Store::DisplayName() const {
    return m_settings.displayName;
}
std::wstring Store::Organisation() const {
    return m_settings.organisation;
}
std::string Store::UserAddress() const {
    return m_settings.userAddress;
}
bool Store::CachedMode() const {
    return m_settings.cachedMode;
}

bool Store::IsDeleted() const {
    std::lock_guard guard(m_model.m_lock);
    return m_deleted;
}

Bytes Store::ProviderId() const {
    switch (m_settings.kind) {
        case StoreKind::ExchangeMailbox:
            return kExchangePrivateProvider;
        case StoreKind::PublicFolders:
            return kExchangePublicProvider;
        case StoreKind::PersonalFolders:
            return kPersonalFoldersProvider;
    }
    return {};
}

FolderPtr Store::Root() const {
    return m_root;
}
FolderPtr Store::IpmSubtree() const {
    return m_ipmSubtree;
}

FolderPtr Store::DefaultFolderOf(DefaultFolder kind) const {
    std::lock_guard guard(m_model.m_lock);
    const auto it = m_defaults.find(kind);
    if (it == m_defaults.end())
        return nullptr;
    FolderPtr folder = it->second.lock();
    return folder && !folder->m_deleted ? folder : nullptr;
}

FolderPtr Store::ReceiveFolder(std::string_view messageClass) const {
    // Every class under IPM.Note is received where IPM.Note is.
    std::string lower(messageClass);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if (lower != "ipm.note" && !lower.starts_with("ipm.note.") && lower != "ipm" &&
        !lower.empty()) {
        return nullptr;
    }
    return DefaultFolderOf(DefaultFolder::Inbox);
}

std::uint32_t Store::Advise(std::uint32_t eventMask, NotificationCallback callback) {
    std::lock_guard guard(m_model.m_lock);
    const std::uint32_t connection = m_model.m_nextConnection++;
    m_subscriptions[connection] =
        Subscription{eventMask, std::make_shared<NotificationCallback>(std::move(callback))};
    return connection;
}

bool Store::Unadvise(std::uint32_t connection) {
    std::lock_guard guard(m_model.m_lock);
    return m_subscriptions.erase(connection) != 0;
}

}  // namespace mailstore
