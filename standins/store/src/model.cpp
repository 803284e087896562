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
    std::lock_guard guard(lock_);
    auto profile = std::make_shared<Profile>(*this, name);
    profiles_.push_back(profile);
    if (!current_)
        current_ = profile;
    return profile;
}

ProfilePtr Model::FindProfile(std::wstring_view name) const {
    std::lock_guard guard(lock_);
    for (const auto& profile : profiles_) {
        if (profile->name_ == name)
            return profile;
    }
    return nullptr;
}

std::vector<ProfilePtr> Model::Profiles() const {
    std::lock_guard guard(lock_);
    return profiles_;
}

ProfilePtr Model::CurrentProfile() const {
    std::lock_guard guard(lock_);
    return current_;
}

void Model::SetCurrentProfile(const ProfilePtr& profile) {
    std::lock_guard guard(lock_);
    current_ = profile;
}

void Model::Clear() {
    std::lock_guard guard(lock_);
    for (const auto& profile : profiles_) {
        for (const auto& store : profile->stores_) {
            store->deleted_ = true;
            Forget(store->root_);
        }
    }
    profiles_.clear();
    current_.reset();
    stores_.clear();
    folders_.clear();
    messages_.clear();
}

StorePtr Model::FindStore(const EntryId& id) const {
    std::lock_guard guard(lock_);
    const auto it = stores_.find(id);
    return it == stores_.end() ? nullptr : it->second.lock();
}

FolderPtr Model::FindFolder(const EntryId& id) const {
    std::lock_guard guard(lock_);
    const auto it = folders_.find(id);
    return it == folders_.end() ? nullptr : it->second.lock();
}

MessagePtr Model::FindMessage(const EntryId& id) const {
    std::lock_guard guard(lock_);
    const auto it = messages_.find(id);
    return it == messages_.end() ? nullptr : it->second.lock();
}

EntryId Model::NewObjectId(const Store& store, std::uint64_t serial) const {
    EntryId id(4, 0);  // the flags of a long-term identifier
    id.insert(id.end(), store.uid_.begin(), store.uid_.end());
    AppendBigEndian(id, static_cast<std::uint32_t>(serial));
    return id;
}

FolderPtr Model::NewFolder(const StorePtr& store, const FolderPtr& parent, const std::wstring& name,
                           Pending& pending) {
    auto folder = std::make_shared<Folder>(*this, nextSerial_++, name);
    folder->id_ = NewObjectId(*store, folder->serial_);
    folder->store_ = store;
    folder->parent_ = parent;
    folders_[folder->id_] = folder;
    if (parent) {
        parent->subfolders_.push_back(folder);
        Notification created;
        created.event = kEventObjectCreated;
        created.objectType = kObjectTypeFolder;
        created.entryId = folder->id_;
        created.parentId = parent->id_;
        Queue(pending, *store, std::move(created));
    }
    return folder;
}

MessagePtr Model::NewMessage(const FolderPtr& folder, bool associated) {
    const StorePtr store = folder->store_.lock();
    auto message = std::make_shared<Message>(*this, nextSerial_++);
    message->id_ = NewObjectId(*store, message->serial_);
    message->parent_ = folder;
    message->associated_ = associated;
    (associated ? folder->hidden_ : folder->messages_).push_back(message);
    messages_[message->id_] = message;
    return message;
}

void Model::Forget(const FolderPtr& folder) {
    if (!folder)
        return;
    folder->deleted_ = true;
    folders_.erase(folder->id_);
    for (const auto* list : {&folder->messages_, &folder->hidden_}) {
        for (const auto& message : *list) {
            message->deleted_ = true;
            messages_.erase(message->id_);
        }
    }
    for (const auto& child : folder->subfolders_)
        Forget(child);
}

void Model::Queue(Pending& pending, const Store& store, Notification notification) const {
    for (const auto& [connection, subscription] : store.subscriptions_) {
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
    notification.entryId = message.id_;
    if (const FolderPtr parent = message.parent_.lock())
        notification.parentId = parent->id_;
    notification.messageClass = message.Class();
    notification.messageFlags = message.Flags();
    return notification;
}

// Profiles

Profile::Profile(Model& model, std::wstring name) : model_(model), name_(std::move(name)) {}

std::wstring Profile::Name() const {
    return name_;
}

StorePtr Profile::AddStore(const StoreSettings& settings) {
    std::lock_guard guard(model_.lock_);
    Model::Pending none;  // nobody can have subscribed to a store not yet made
    auto store = std::make_shared<Store>(model_, settings);
    store->uid_ = NewStoreUid();
    store->id_ = EntryId(4, 0);
    store->id_.insert(store->id_.end(), kStoreWrapper.begin(), kStoreWrapper.end());
    store->id_.insert(store->id_.end(), store->uid_.begin(), store->uid_.end());
    model_.stores_[store->id_] = store;

    store->root_ = model_.NewFolder(store, nullptr, L"", none);
    const wchar_t* subtreeName =
        settings.kind == StoreKind::ExchangeMailbox   ? L"Top of Information Store"
        : settings.kind == StoreKind::PersonalFolders ? L"Top of Personal Folders"
                                                      : L"IPM_SUBTREE";
    store->ipmSubtree_ = model_.NewFolder(store, store->root_, subtreeName, none);
    std::vector<DefaultFolder> defaults;
    if (settings.kind == StoreKind::PublicFolders) {
        model_.NewFolder(store, store->ipmSubtree_, L"All Public Folders", none);
    } else if (settings.hasInbox) {
        defaults = {DefaultFolder::Inbox,        DefaultFolder::Outbox,   DefaultFolder::SentMail,
                    DefaultFolder::DeletedItems, DefaultFolder::Drafts,   DefaultFolder::Junk,
                    DefaultFolder::Calendar,     DefaultFolder::Contacts, DefaultFolder::Journal,
                    DefaultFolder::Notes,        DefaultFolder::Tasks};
    } else {
        defaults = {DefaultFolder::DeletedItems};  // an archive
    }
    for (DefaultFolder kind : defaults) {
        store->defaults_[kind] =
            model_.NewFolder(store, store->ipmSubtree_, DefaultFolderName(kind), none);
    }
    stores_.push_back(store);
    return store;
}

std::vector<StorePtr> Profile::Stores() const {
    std::lock_guard guard(model_.lock_);
    return stores_;
}

StorePtr Profile::DefaultStore() const {
    std::lock_guard guard(model_.lock_);
    for (const auto& store : stores_) {
        if (store->ReceiveFolder())
            return store;
    }
    return nullptr;
}

void Profile::RemoveStore(const StorePtr& store) {
    std::lock_guard guard(model_.lock_);
    const auto it = std::find(stores_.begin(), stores_.end(), store);
    if (it == stores_.end())
        return;
    store->deleted_ = true;
    model_.stores_.erase(store->id_);
    model_.Forget(store->root_);
    stores_.erase(it);
}

// Stores

Store::Store(Model& model, StoreSettings settings)
    : model_(model), settings_(std::move(settings)) {}

EntryId Store::Id() const {
    return id_;
}
StoreKind Store::Kind() const {
    return settings_.kind;
}
std::wstring Store::DisplayName() const {
    return settings_.displayName;
}
std::wstring Store::Organisation() const {
    return settings_.organisation;
}
std::string Store::UserAddress() const {
    return settings_.userAddress;
}
bool Store::CachedMode() const {
    return settings_.cachedMode;
}

bool Store::IsDeleted() const {
    std::lock_guard guard(model_.lock_);
    return deleted_;
}

Bytes Store::ProviderId() const {
    switch (settings_.kind) {
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
    return root_;
}
FolderPtr Store::IpmSubtree() const {
    return ipmSubtree_;
}

FolderPtr Store::DefaultFolderOf(DefaultFolder kind) const {
    std::lock_guard guard(model_.lock_);
    const auto it = defaults_.find(kind);
    if (it == defaults_.end())
        return nullptr;
    FolderPtr folder = it->second.lock();
    return folder && !folder->deleted_ ? folder : nullptr;
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
    std::lock_guard guard(model_.lock_);
    const std::uint32_t connection = model_.nextConnection_++;
    subscriptions_[connection] =
        Subscription{eventMask, std::make_shared<NotificationCallback>(std::move(callback))};
    return connection;
}

bool Store::Unadvise(std::uint32_t connection) {
    std::lock_guard guard(model_.lock_);
    return subscriptions_.erase(connection) != 0;
}

}  // namespace mailstore
