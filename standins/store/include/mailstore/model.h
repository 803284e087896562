// The one mail store of the process: profiles, their stores, folders and
// messages. Outlook's object model, Extended MAPI and the safe-item library
// are views of it, so a message moved through one is the message the others
// see. The model lives in a shared library (libmailstore.so) so that every
// module of the process reaches the same instance through Model::Process().
//
// Threads: every operation takes the model's one lock; notification
// callbacks run after it is released, on the thread that made the change.
// Handles (StorePtr, FolderPtr, MessagePtr) stay valid after the object is
// deleted or its store removed: they then report it as gone (IsDeleted) and
// the model no longer finds it by its identifier.
#pragma once

#include <mailstore/entry_id.h>
#include <mailstore/properties.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mailstore {

class Model;
class Profile;
class Store;
class Folder;
class Message;
using ProfilePtr = std::shared_ptr<Profile>;
using StorePtr = std::shared_ptr<Store>;
using FolderPtr = std::shared_ptr<Folder>;
using MessagePtr = std::shared_ptr<Message>;

// What the model refuses: a malformed message, a name taken, an object gone.
class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class StoreKind {
    ExchangeMailbox,  // a private Exchange mailbox
    PersonalFolders,  // a personal folders file
    PublicFolders,    // Exchange public folders
};

// Outlook's default folders, by the numbers of its OlDefaultFolders.
enum class DefaultFolder : int {
    DeletedItems = 3,
    Outbox = 4,
    SentMail = 5,
    Inbox = 6,
    Calendar = 9,
    Contacts = 10,
    Journal = 11,
    Notes = 12,
    Tasks = 13,
    Drafts = 16,
    Junk = 23,
};

// The name a default folder is created with ("Inbox", "Sent Items",
// "Deleted Items", "Outbox", "Drafts", "Junk E-mail", "Calendar",
// "Contacts", "Journal", "Notes", "Tasks").
std::wstring DefaultFolderName(DefaultFolder kind);

// Provider identifiers (PR_MDB_PROVIDER) of the three kinds of store.
extern const Bytes kExchangePrivateProvider;
extern const Bytes kExchangePublicProvider;
extern const Bytes kPersonalFoldersProvider;

// MAPI's notification event types (fnev...).
inline constexpr std::uint32_t kEventNewMail = 0x0002;
inline constexpr std::uint32_t kEventObjectCreated = 0x0004;
inline constexpr std::uint32_t kEventObjectDeleted = 0x0008;
inline constexpr std::uint32_t kEventObjectModified = 0x0010;
inline constexpr std::uint32_t kEventObjectMoved = 0x0020;
inline constexpr std::uint32_t kEventObjectCopied = 0x0040;

// MAPI object types of the notified objects.
inline constexpr std::uint32_t kObjectTypeStore = 1;
inline constexpr std::uint32_t kObjectTypeFolder = 3;
inline constexpr std::uint32_t kObjectTypeMessage = 5;

// One store notification. For a move or copy, `entryId` and `parentId` are
// the object's new identity and place, `oldId` and `oldParentId` the former.
struct Notification {
    std::uint32_t event = 0;
    std::uint32_t objectType = 0;
    EntryId entryId;
    EntryId parentId;
    EntryId oldId;
    EntryId oldParentId;
    std::string messageClass;  // messages only
    std::uint32_t messageFlags = 0;
};

using NotificationCallback = std::function<void(const Notification&)>;

// How a store is made (Profile::AddStore).
struct StoreSettings {
    StoreKind kind = StoreKind::PersonalFolders;
    std::wstring displayName;
    std::wstring organisation;  // Exchange: "First Organization"
    std::string userAddress;    // Exchange: the user's "EX" address, "/o=.../cn=jane"
    bool hasInbox = true;       // false: an archive, without Inbox and receive folder
    bool cachedMode = false;    // Exchange: works in cached mode

    static StoreSettings Exchange(std::wstring name, std::wstring organisation, std::string user) {
        StoreSettings settings;
        settings.kind = StoreKind::ExchangeMailbox;
        settings.displayName = std::move(name);
        settings.organisation = std::move(organisation);
        settings.userAddress = std::move(user);
        return settings;
    }
    static StoreSettings Personal(std::wstring name, bool hasInbox = true) {
        StoreSettings settings;
        settings.displayName = std::move(name);
        settings.hasInbox = hasInbox;
        return settings;
    }
    static StoreSettings Public(std::wstring name) {
        StoreSettings settings;
        settings.kind = StoreKind::PublicFolders;
        settings.displayName = std::move(name);
        settings.hasInbox = false;
        return settings;
    }
};

class Message : public std::enable_shared_from_this<Message> {
  public:
    EntryId Id() const;
    FolderPtr Parent() const;  // null once deleted
    StorePtr OwningStore() const;
    bool IsDeleted() const;
    bool IsAssociated() const;

    // A property by tag; the computed ones (entry identifier, parent,
    // store, size, flags, class) included. Asked for as PT_STRING8 a wide
    // string is given narrow in the ANSI code page, and the other way round.
    std::optional<PropValue> Get(PropTag tag) const;
    std::optional<std::wstring> GetText(PropTag tag) const;   // any string type, wide
    std::optional<std::string> GetNarrow(PropTag tag) const;  // any string type, narrow
    std::optional<std::int32_t> GetLong(PropTag tag) const;
    std::optional<bool> GetBool(PropTag tag) const;
    std::map<PropTag, PropValue> AllProperties() const;
    // Writing raises "object modified". The entry identifiers, the size and
    // the associated flag cannot be written (StoreError).
    void Set(PropTag tag, PropValue value);
    void Remove(PropTag tag);

    std::string Class() const;
    std::wstring Subject() const;
    std::uint32_t Flags() const;
    bool IsRead() const;
    void SetRead(bool read);  // raises "object modified" when it changes
    std::uint32_t Size() const;
    SysTime ReceivedTime() const;
    std::wstring PlainBody() const;
    std::wstring HtmlBody() const;
    // The two bodies stay in step, as Outlook keeps them: a plain body written
    // makes the HTML one its conversion (with the "converted from text/plain"
    // marker), an HTML body written makes the plain one its text.
    void SetPlainBody(const std::wstring& body);
    void SetHtmlBody(const std::wstring& body);
    // The bytes delivered, unchanged; empty for messages made in the store.
    Bytes Source() const;

    // Within a store the message keeps its object and its entry identifier,
    // as a personal folders file does; into another store it is a new
    // message with a new identifier (the returned handle), the old one gone.
    MessagePtr MoveTo(const FolderPtr& destination);
    MessagePtr CopyTo(const FolderPtr& destination) const;
    void Delete();

    Message(Model& model, std::uint64_t serial);  // made only by the model

  private:
    friend class Model;
    friend class Folder;
    Model& m_model;
    std::uint64_t m_serial;
    std::weak_ptr<Folder> m_parent;
    EntryId m_id;
    bool m_deleted = false;
    bool m_associated = false;
    std::map<PropTag, PropValue> m_properties;
    Bytes m_source;
};

class Folder : public std::enable_shared_from_this<Folder> {
  public:
    EntryId Id() const;
    std::wstring Name() const;
    void Rename(const std::wstring& name);
    FolderPtr Parent() const;  // null for a store's root folder
    StorePtr OwningStore() const;
    bool IsDeleted() const;

    std::vector<FolderPtr> Subfolders() const;
    // Folder names compare without regard to letter case, as Outlook's do.
    FolderPtr FindSubfolder(std::wstring_view name) const;
    // A new subfolder; StoreError when the name is empty or taken.
    FolderPtr CreateSubfolder(const std::wstring& name);
    // Removes the folder with everything in it; not a store's root.
    void Delete();
    // Moves the folder with everything in it under `destination` in the same
    // store, keeping its entry identifier, as a personal folders file does;
    // StoreError for a root, another store, the folder itself or one of its
    // own subfolders, or a name taken there.
    void MoveTo(const FolderPtr& destination);

    // The folder's normal contents, or its hidden (associated) contents.
    std::vector<MessagePtr> Messages() const;
    std::vector<MessagePtr> HiddenMessages() const;
    // An empty message of a class: normal, or hidden (associated).
    MessagePtr CreateMessage(const std::string& messageClass, bool associated = false);
    MessagePtr AddHiddenMessage(const std::string& messageClass) {
        return CreateMessage(messageClass, true);
    }
    // Delivers an RFC 822 message as the mail server does: parsed into
    // properties, stored with its bytes, announced as created and as new
    // mail. Odd mail is taken as a server takes it (control bytes in its
    // headers, a header block that ends without a blank line); only what is
    // no message at all, empty or not starting with a header field, is
    // refused with a StoreError that says why, and nothing changes.
    MessagePtr Deliver(const Bytes& rfc822);

    Folder(Model& model, std::uint64_t serial, std::wstring name);  // made only by the model

  private:
    friend class Model;
    friend class Message;
    friend class Store;
    Model& m_model;
    std::uint64_t m_serial;
    std::wstring m_name;
    EntryId m_id;
    std::weak_ptr<Folder> m_parent;
    std::weak_ptr<Store> m_store;
    bool m_deleted = false;
    std::vector<FolderPtr> m_subfolders;
    std::vector<MessagePtr> m_messages;
    std::vector<MessagePtr> m_hidden;
};

class Store : public std::enable_shared_from_this<Store> {
  public:
    EntryId Id() const;
    StoreKind Kind() const;
    std::wstring DisplayName() const;
    Bytes ProviderId() const;  // 16 bytes
    std::wstring Organisation() const;
    std::string UserAddress() const;
    bool CachedMode() const;
    bool IsDeleted() const;

    // The store's MAPI root folder, and the top of what Outlook shows (the
    // IPM subtree, which the default folders sit in).
    FolderPtr Root() const;
    FolderPtr IpmSubtree() const;
    FolderPtr DefaultFolderOf(DefaultFolder kind) const;  // null when the store lacks it
    // Where mail of a class is delivered: the Inbox for "IPM.Note" and its
    // subclasses; null for a store without one (an archive, public folders).
    FolderPtr ReceiveFolder(std::string_view messageClass = "IPM.Note") const;

    // Subscribes to the store's changes of the kinds in `eventMask`; the
    // callback runs on the thread that made the change, never under the
    // model's lock. Returns the connection number (never 0).
    std::uint32_t Advise(std::uint32_t eventMask, NotificationCallback callback);
    // False when the connection is not one of this store's.
    bool Unadvise(std::uint32_t connection);

    Store(Model& model, StoreSettings settings);  // made only by the model

  private:
    friend class Model;
    friend class Folder;
    friend class Message;
    friend class Profile;
    struct Subscription {
        std::uint32_t mask;
        std::shared_ptr<NotificationCallback> callback;
    };
    Model& m_model;
    StoreSettings m_settings;
    Bytes m_uid;  // unique across runs; after the flags in every identifier of the store's objects
    EntryId m_id;
    bool m_deleted = false;
    FolderPtr m_root;
    FolderPtr m_ipmSubtree;
    std::map<DefaultFolder, std::weak_ptr<Folder>> m_defaults;
    std::map<std::uint32_t, Subscription> m_subscriptions;
};

class Profile {
  public:
    std::wstring Name() const;
    StorePtr AddStore(const StoreSettings& settings);
    std::vector<StorePtr> Stores() const;
    // The first store with an Inbox; null when there is none.
    StorePtr DefaultStore() const;
    void RemoveStore(const StorePtr& store);

    Profile(Model& model, std::wstring name);  // made only by the model

  private:
    friend class Model;
    Model& m_model;
    std::wstring m_name;
    std::vector<StorePtr> m_stores;
};

class Model {
  public:
    Model();
    ~Model();
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    // The process's model, shared by every module that links the library.
    static Model& Process();

    // Profiles; the first one added is the current one until another is chosen.
    ProfilePtr AddProfile(const std::wstring& name);
    ProfilePtr FindProfile(std::wstring_view name) const;
    std::vector<ProfilePtr> Profiles() const;
    ProfilePtr CurrentProfile() const;
    void SetCurrentProfile(const ProfilePtr& profile);
    // Forgets every profile, store, folder and message.
    void Clear();

    // Objects by entry identifier, across all profiles; null when unknown or gone.
    StorePtr FindStore(const EntryId& id) const;
    FolderPtr FindFolder(const EntryId& id) const;
    MessagePtr FindMessage(const EntryId& id) const;

  private:
    friend class Profile;
    friend class Store;
    friend class Folder;
    friend class Message;
    // Notifications collected under the lock, sent after it is released.
    struct Pending {
        std::vector<std::pair<std::shared_ptr<NotificationCallback>, Notification>> calls;
    };

    EntryId NewObjectId(const Store& store, std::uint64_t serial) const;
    FolderPtr NewFolder(const StorePtr& store, const FolderPtr& parent, const std::wstring& name,
                        Pending& pending);
    MessagePtr NewMessage(const FolderPtr& folder, bool associated);
    void Forget(const FolderPtr& folder);
    void Queue(Pending& pending, const Store& store, Notification notification) const;
    void Send(Pending& pending) const;
    static Notification About(const Message& message, std::uint32_t event);

    mutable std::recursive_mutex m_lock;
    std::uint64_t m_nextSerial = 1;
    std::uint32_t m_nextConnection = 1;
    std::vector<ProfilePtr> m_profiles;
    ProfilePtr m_current;
    std::map<EntryId, std::weak_ptr<Store>> m_stores;
    std::map<EntryId, std::weak_ptr<Folder>> m_folders;
    std::map<EntryId, std::weak_ptr<Message>> m_messages;
};

}  // namespace mailstore
