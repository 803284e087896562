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
    : model_(model), serial_(serial), name_(std::move(name)) {}

EntryId Folder::Id() const {
    return id_;
}

std::wstring Folder::Name() const {
    std::lock_guard guard(model_.lock_);
    return name_;
}

void Folder::Rename(const std::wstring& name) {
    Model::Pending pending;
    {
        std::lock_guard guard(model_.lock_);
        if (deleted_)
            throw StoreError("the folder has been deleted");
        const FolderPtr parent = parent_.lock();
        if (name.empty())
            throw StoreError("a folder needs a name");
        if (parent) {
            for (const auto& sibling : parent->subfolders_) {
                if (sibling.get() != this && SameName(sibling->name_, name)) {
                    throw StoreError("a folder with that name already exists");
                }
            }
        }
        name_ = name;
        Notification modified;
        modified.event = kEventObjectModified;
        modified.objectType = kObjectTypeFolder;
        modified.entryId = id_;
        if (parent)
            modified.parentId = parent->id_;
        if (const StorePtr store = store_.lock())
            model_.Queue(pending, *store, std::move(modified));
    }
    model_.Send(pending);
}

FolderPtr Folder::Parent() const {
    std::lock_guard guard(model_.lock_);
    return parent_.lock();
}

StorePtr Folder::OwningStore() const {
    std::lock_guard guard(model_.lock_);
    return store_.lock();
}

bool Folder::IsDeleted() const {
    std::lock_guard guard(model_.lock_);
    return deleted_;
}

std::vector<FolderPtr> Folder::Subfolders() const {
    std::lock_guard guard(model_.lock_);
    return subfolders_;
}

FolderPtr Folder::FindSubfolder(std::wstring_view name) const {
    std::lock_guard guard(model_.lock_);
    for (const auto& folder : subfolders_) {
        if (SameName(folder->name_, name))
            return folder;
    }
    return nullptr;
}

FolderPtr Folder::CreateSubfolder(const std::wstring& name) {
    Model::Pending pending;
    FolderPtr folder;
    {
        std::lock_guard guard(model_.lock_);
        if (deleted_)
            throw StoreError("the folder has been deleted");
        if (name.empty())
            throw StoreError("a folder needs a name");
        if (FindSubfolder(name))
            throw StoreError("a folder with that name already exists");
        folder = model_.NewFolder(store_.lock(), shared_from_this(), name, pending);
    }
    model_.Send(pending);
    return folder;
}

void Folder::Delete() {
    Model::Pending pending;
    {
        std::lock_guard guard(model_.lock_);
        if (deleted_)
            return;
        const FolderPtr parent = parent_.lock();
        if (!parent)
            throw StoreError("a store's root folder cannot be deleted");
        auto& siblings = parent->subfolders_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), shared_from_this()),
                       siblings.end());
        model_.Forget(shared_from_this());
        Notification deleted;
        deleted.event = kEventObjectDeleted;
        deleted.objectType = kObjectTypeFolder;
        deleted.entryId = id_;
        deleted.parentId = parent->id_;
        if (const StorePtr store = store_.lock())
            model_.Queue(pending, *store, std::move(deleted));
    }
    model_.Send(pending);
}

void Folder::MoveTo(const FolderPtr& destination) {
    Model::Pending pending;
    {
        std::lock_guard guard(model_.lock_);
        const FolderPtr parent = parent_.lock();
        if (deleted_ || !parent)
            throw StoreError(deleted_ ? "the folder has been deleted"
                                      : "a store's root folder cannot be moved");
        if (!destination || destination->deleted_)
            throw StoreError("no such folder");
        if (destination->store_.lock() != store_.lock())
            throw StoreError("a folder moves within its own store");
        for (FolderPtr above = destination; above; above = above->parent_.lock()) {
            if (above.get() == this)
                throw StoreError("a folder cannot move into itself");
        }
        if (destination == parent)
            return;
        for (const auto& sibling : destination->subfolders_) {
            if (SameName(sibling->name_, name_))
                throw StoreError("a folder with that name already exists");
        }
        auto& siblings = parent->subfolders_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), shared_from_this()),
                       siblings.end());
        destination->subfolders_.push_back(shared_from_this());
        parent_ = destination;
        Notification moved;
        moved.event = kEventObjectMoved;
        moved.objectType = kObjectTypeFolder;
        moved.entryId = id_;
        moved.parentId = destination->id_;
        moved.oldId = id_;
        moved.oldParentId = parent->id_;
        if (const StorePtr store = store_.lock())
            model_.Queue(pending, *store, std::move(moved));
    }
    model_.Send(pending);
}

std::vector<MessagePtr> Folder::Messages() const {
    std::lock_guard guard(model_.lock_);
    return messages_;
}

std::vector<MessagePtr> Folder::HiddenMessages() const {
    std::lock_guard guard(model_.lock_);
    return hidden_;
}

MessagePtr Folder::CreateMessage(const std::string& messageClass, bool associated) {
    Model::Pending pending;
    MessagePtr message;
    {
        std::lock_guard guard(model_.lock_);
        if (deleted_)
            throw StoreError("the folder has been deleted");
        message = model_.NewMessage(shared_from_this(), associated);
        message->properties_[tags::kMessageClass] = messageClass;
        // A message made in the store is the user's own: read and unsent.
        message->properties_[tags::kMessageFlags] =
            static_cast<std::int32_t>(kMsgFlagRead | kMsgFlagUnsent);
        model_.Queue(pending, *store_.lock(), Model::About(*message, kEventObjectCreated));
    }
    model_.Send(pending);
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
        std::lock_guard guard(model_.lock_);
        if (deleted_)
            throw StoreError("the folder has been deleted");
        message = model_.NewMessage(shared_from_this(), false);
        message->properties_ = std::move(properties);
        message->source_ = rfc822;
        const StorePtr store = store_.lock();
        model_.Queue(pending, *store, Model::About(*message, kEventObjectCreated));
        model_.Queue(pending, *store, Model::About(*message, kEventNewMail));
    }
    model_.Send(pending);
    return message;
}

}  // namespace mailstore
