#include <mailstore/model.h>

#include "rfc822.h"

#include <windows.h>

#include <platform/clock.h>

#include <algorithm>
#include <cwctype>

namespace mailstore {

namespace {

bool SameName(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<wint_t>(x)) ==
                      std::towlower(static_cast<wint_t>(y));
           });
}

SysTime Now() {
    const SYSTEMTIME now = platform::host::CurrentSystemTime();
    FILETIME fileTime{};
    SystemTimeToFileTime(&now, &fileTime);
    return SysTime{(static_cast<std::uint64_t>(fileTime.dwHighDateTime) << 32) |
                   fileTime.dwLowDateTime};
}

}  // namespace

Folder::Folder(Model& model, std::uint64_t serial, std::wstring name)
    : m_model(model), m_serial(serial), m_name(std::move(name)) {}

EntryId Folder::Id() const {
    return m_id;
}

std::wstring Folder::Name() const {
    std::lock_guard guard(m_model.m_lock);
    return m_name;
}

void Folder::Rename(const std::wstring& name) {
    Model::Pending pending;
    {
        std::lock_guard guard(m_model.m_lock);
        if (m_deleted)
            throw StoreError("the folder has been deleted");
        const FolderPtr parent = m_parent.lock();
        if (name.empty())
            throw StoreError("a folder needs a name");
        if (parent) {
            for (const auto& sibling : parent->m_subfolders) {
                if (sibling.get() != this && SameName(sibling->m_name, name)) {
                    throw StoreError("a folder with that name already exists");
                }
            }
        }
        m_name = name;
        Notification modified;
        modified.event = kEventObjectModified;
        modified.objectType = kObjectTypeFolder;
        modified.entryId = m_id;
        if (parent)
            modified.parentId = parent->m_id;
        if (const StorePtr store = m_store.lock())
            m_model.Queue(pending, *store, std::move(modified));
    }
    m_model.Send(pending);
}

FolderPtr Folder::Parent() const {
    std::lock_guard guard(m_model.m_lock);
    return m_parent.lock();
}

StorePtr Folder::OwningStore() const {
    std::lock_guard guard(m_model.m_lock);
    return m_store.lock();
}

bool Folder::IsDeleted() const {
    std::lock_guard guard(m_model.m_lock);
    return m_deleted;
}

std::vector<FolderPtr> Folder::Subfolders() const {
    std::lock_guard guard(m_model.m_lock);
    return m_subfolders;
}

FolderPtr Folder::FindSubfolder(std::wstring_view name) const {
    std::lock_guard guard(m_model.m_lock);
    for (const auto& folder : m_subfolders) {
        if (SameName(folder->m_name, name))
            return folder;
    }
    return nullptr;
}

FolderPtr Folder::CreateSubfolder(const std::wstring& name) {
    Model::Pending pending;
    FolderPtr folder;
    {
        std::lock_guard guard(m_model.m_lock);
        if (m_deleted)
            throw StoreError("the folder has been deleted");
        if (name.empty())
            throw StoreError("a folder needs a name");
        if (FindSubfolder(name))
            throw StoreError("a folder with that name already exists");
        folder = m_model.NewFolder(m_store.lock(), shared_from_this(), name, pending);
    }
    m_model.Send(pending);
    return folder;
}

void Folder::Delete() {
    Model::Pending pending;
    {
        std::lock_guard guard(m_model.m_lock);
        if (m_deleted)
            return;
        const FolderPtr parent = m_parent.lock();
        if (!parent)
            throw StoreError("a store's root folder cannot be deleted");
        auto& siblings = parent->m_subfolders;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), shared_from_this()),
                       siblings.end());
        m_model.Forget(shared_from_this());
        Notification deleted;
        deleted.event = kEventObjectDeleted;
        deleted.objectType = kObjectTypeFolder;
        deleted.entryId = m_id;
        deleted.parentId = parent->m_id;
        if (const StorePtr store = m_store.lock())
            m_model.Queue(pending, *store, std::move(deleted));
    }
    m_model.Send(pending);
}

void Folder::MoveTo(const FolderPtr& destination) {
    Model::Pending pending;
    {
        std::lock_guard guard(m_model.m_lock);
        const FolderPtr parent = m_parent.lock();
        if (m_deleted || !parent)
            throw StoreError(m_deleted ? "the folder has been deleted"
                                       : "a store's root folder cannot be moved");
        if (!destination || destination->m_deleted)
            throw StoreError("no such folder");
        if (destination->m_store.lock() != m_store.lock())
            throw StoreError("a folder moves within its own store");
        for (FolderPtr above = destination; above; above = above->m_parent.lock()) {
            if (above.get() == this)
                throw StoreError("a folder cannot move into itself");
        }
        if (destination == parent)
            return;
        for (const auto& sibling : destination->m_subfolders) {
            if (SameName(sibling->m_name, m_name))
                throw StoreError("a folder with that name already exists");
        }
        auto& siblings = parent->m_subfolders;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), shared_from_this()),
                       siblings.end());
        destination->m_subfolders.push_back(shared_from_this());
        m_parent = destination;
        Notification moved;
        moved.event = kEventObjectMoved;
        moved.objectType = kObjectTypeFolder;
        moved.entryId = m_id;
        moved.parentId = destination->m_id;
        moved.oldId = m_id;
        moved.oldParentId = parent->m_id;
        if (const StorePtr store = m_store.lock())
            m_model.Queue(pending, *store, std::move(moved));
    }
    m_model.Send(pending);
}

std::vector<MessagePtr> Folder::Messages() const {
    std::lock_guard guard(m_model.m_lock);
    return m_messages;
}

std::vector<MessagePtr> Folder::HiddenMessages() const {
    std::lock_guard guard(m_model.m_lock);
    return m_hidden;
}

MessagePtr Folder::CreateMessage(const std::string& messageClass, bool associated) {
    Model::Pending pending;
    MessagePtr message;
    {
        std::lock_guard guard(m_model.m_lock);
        if (m_deleted)
            throw StoreError("the folder has been deleted");
        message = m_model.NewMessage(shared_from_this(), associated);
        message->m_properties[tags::kMessageClass] = messageClass;
        // A message made in the store is the user's own: read and unsent.
        message->m_properties[tags::kMessageFlags] =
            static_cast<std::int32_t>(kMsgFlagRead | kMsgFlagUnsent);
        m_model.Queue(pending, *m_store.lock(), Model::About(*message, kEventObjectCreated));
    }
    m_model.Send(pending);
    return message;
}

MessagePtr Folder::Deliver(const Bytes& rfc822) {
    const std::string_view text(reinterpret_cast<const char*>(rfc822.data()), rfc822.size());
    // Read before anything changes: what is refused leaves the store as it was.
    std::map<PropTag, PropValue> properties = rfc822::ReadProperties(text);
    std::uint32_t flags = 0;
    if (properties.contains(tags::kReadReceiptRequested))
        flags |= kMsgFlagReceiptPending;
    properties[tags::kMessageFlags] = static_cast<std::int32_t>(flags);
    properties[tags::kMessageDeliveryTime] = Now();

    Model::Pending pending;
    MessagePtr message;
    {
        std::lock_guard guard(m_model.m_lock);
        if (m_deleted)
            throw StoreError("the folder has been deleted");
        message = m_model.NewMessage(shared_from_this(), false);
        message->m_properties = std::move(properties);
        message->m_source = rfc822;
        const StorePtr store = m_store.lock();
        m_model.Queue(pending, *store, Model::About(*message, kEventObjectCreated));
        m_model.Queue(pending, *store, Model::About(*message, kEventNewMail));
    }
    m_model.Send(pending);
    return message;
}

}  // namespace mailstore
