#include <mailstore/model.h>

#include "rfc822.h"
#include "text.h"

namespace mailstore {

std::uint16_t TypeOf(const PropValue& value) {
    static constexpr std::uint16_t kTypes[] = {kTypeLong,    kTypeBoolean, kTypeString8,
                                               kTypeUnicode, kTypeSystime, kTypeBinary};
    return kTypes[value.index()];
}

Message::Message(Model& model, std::uint64_t serial) : model_(model), serial_(serial) {}

EntryId Message::Id() const {
    std::lock_guard guard(model_.lock_);
    return id_;
}

FolderPtr Message::Parent() const {
    std::lock_guard guard(model_.lock_);
    return deleted_ ? nullptr : parent_.lock();
}

StorePtr Message::OwningStore() const {
    std::lock_guard guard(model_.lock_);
    const FolderPtr parent = parent_.lock();
    return deleted_ || !parent ? nullptr : parent->store_.lock();
}

bool Message::IsDeleted() const {
    std::lock_guard guard(model_.lock_);
    return deleted_;
}

bool Message::IsAssociated() const {
    return associated_;
}

std::optional<PropValue> Message::Get(PropTag tag) const {
    std::lock_guard guard(model_.lock_);
    switch (tag) {
        case tags::kEntryId:
            return id_;
        case tags::kParentEntryId:
            if (const FolderPtr parent = parent_.lock())
                return parent->id_;
            return std::nullopt;
        case tags::kStoreEntryId:
            if (const FolderPtr parent = parent_.lock()) {
                if (const StorePtr store = parent->store_.lock())
                    return store->id_;
            }
            return std::nullopt;
        case tags::kMessageFlags:
            return static_cast<std::int32_t>(Flags());
        case tags::kMessageSize:
            return static_cast<std::int32_t>(Size());
        default:
            break;
    }
    if (const auto it = properties_.find(tag); it != properties_.end())
        return it->second;
    // A string asked for in the other width, as MAPI converts it.
    if (PropType(tag) == kTypeString8) {
        const auto it = properties_.find(ChangeType(tag, kTypeUnicode));
        if (it != properties_.end()) {
            return text::ToNarrow(std::get<std::wstring>(it->second), text::kAnsi);
        }
    } else if (PropType(tag) == kTypeUnicode) {
        const auto it = properties_.find(ChangeType(tag, kTypeString8));
        if (it != properties_.end()) {
            return text::ToWide(std::get<std::string>(it->second), text::kAnsi);
        }
    }
    return std::nullopt;
}

std::optional<std::wstring> Message::GetText(PropTag tag) const {
    const auto value = Get(ChangeType(tag, kTypeUnicode));
    if (!value)
        return std::nullopt;
    return std::get<std::wstring>(*value);
}

std::optional<std::string> Message::GetNarrow(PropTag tag) const {
    const auto value = Get(ChangeType(tag, kTypeString8));
    if (!value)
        return std::nullopt;
    return std::get<std::string>(*value);
}

std::optional<std::int32_t> Message::GetLong(PropTag tag) const {
    const auto value = Get(ChangeType(tag, kTypeLong));
    if (!value)
        return std::nullopt;
    return std::get<std::int32_t>(*value);
}

std::optional<bool> Message::GetBool(PropTag tag) const {
    const auto value = Get(ChangeType(tag, kTypeBoolean));
    if (!value)
        return std::nullopt;
    return std::get<bool>(*value);
}

std::map<PropTag, PropValue> Message::AllProperties() const {
    std::lock_guard guard(model_.lock_);
    std::map<PropTag, PropValue> all = properties_;
    for (PropTag computed : {tags::kEntryId, tags::kParentEntryId, tags::kStoreEntryId,
                             tags::kMessageFlags, tags::kMessageSize}) {
        if (auto value = Get(computed))
            all[computed] = std::move(*value);
    }
    return all;
}

void Message::Set(PropTag tag, PropValue value) {
    if (TypeOf(value) != PropType(tag)) {
        throw StoreError("the value's type does not match the property's tag");
    }
    if (tag == tags::kEntryId || tag == tags::kParentEntryId || tag == tags::kStoreEntryId ||
        tag == tags::kMessageSize) {
        throw StoreError("the property is computed by the store and cannot be written");
    }
    Model::Pending pending;
    {
        std::lock_guard guard(model_.lock_);
        if (deleted_)
            throw StoreError("the message has been deleted");
        if (tag == tags::kMessageFlags) {
            // Whether a message is associated is fixed when it is made.
            const auto flags = static_cast<std::uint32_t>(std::get<std::int32_t>(value));
            value = static_cast<std::int32_t>(flags & ~kMsgFlagAssociated);
        }
        // One width of a string at a time, so a reader never sees a stale one.
        if (PropType(tag) == kTypeString8)
            properties_.erase(ChangeType(tag, kTypeUnicode));
        if (PropType(tag) == kTypeUnicode)
            properties_.erase(ChangeType(tag, kTypeString8));
        properties_[tag] = std::move(value);
        if (const StorePtr store = OwningStore()) {
            model_.Queue(pending, *store, Model::About(*this, kEventObjectModified));
        }
    }
    model_.Send(pending);
}

void Message::Remove(PropTag tag) {
    Model::Pending pending;
    {
        std::lock_guard guard(model_.lock_);
        if (deleted_)
            throw StoreError("the message has been deleted");
        if (properties_.erase(tag) == 0)
            return;
        if (const StorePtr store = OwningStore()) {
            model_.Queue(pending, *store, Model::About(*this, kEventObjectModified));
        }
    }
    model_.Send(pending);
}

std::string Message::Class() const {
    return GetNarrow(tags::kMessageClass).value_or("");
}

std::wstring Message::Subject() const {
    return GetText(tags::kSubject).value_or(L"");
}

std::uint32_t Message::Flags() const {
    std::lock_guard guard(model_.lock_);
    std::uint32_t flags = 0;
    if (const auto it = properties_.find(tags::kMessageFlags); it != properties_.end()) {
        flags = static_cast<std::uint32_t>(std::get<std::int32_t>(it->second));
    }
    return associated_ ? flags | kMsgFlagAssociated : flags;
}

bool Message::IsRead() const {
    return (Flags() & kMsgFlagRead) != 0;
}

void Message::SetRead(bool read) {
    const std::uint32_t flags = Flags();
    const std::uint32_t wanted = read ? flags | kMsgFlagRead : flags & ~kMsgFlagRead;
    if (wanted != flags)
        Set(tags::kMessageFlags, static_cast<std::int32_t>(wanted));
}

std::uint32_t Message::Size() const {
    std::lock_guard guard(model_.lock_);
    if (!source_.empty())
        return static_cast<std::uint32_t>(source_.size());
    // A message made in the store is as large as what it holds.
    std::size_t size = 0;
    for (const auto& [tag, value] : properties_) {
        size += 8;
        if (const auto* narrow = std::get_if<std::string>(&value))
            size += narrow->size();
        if (const auto* wide = std::get_if<std::wstring>(&value))
            size += wide->size() * 2;
        if (const auto* bytes = std::get_if<Bytes>(&value))
            size += bytes->size();
    }
    return static_cast<std::uint32_t>(size);
}

SysTime Message::ReceivedTime() const {
    const auto value = Get(tags::kMessageDeliveryTime);
    return value ? std::get<SysTime>(*value) : SysTime{};
}

std::wstring Message::PlainBody() const {
    return GetText(tags::kBody).value_or(L"");
}
std::wstring Message::HtmlBody() const {
    return GetText(tags::kBodyHtml).value_or(L"");
}

void Message::SetPlainBody(const std::wstring& body) {
    Set(tags::kBody, body);
    Set(tags::kBodyHtml, rfc822::HtmlFromPlain(body));
}

void Message::SetHtmlBody(const std::wstring& body) {
    Set(tags::kBodyHtml, body);
    Set(tags::kBody, rfc822::PlainFromHtml(body));
}

Bytes Message::Source() const {
    std::lock_guard guard(model_.lock_);
    return source_;
}

MessagePtr Message::MoveTo(const FolderPtr& destination) {
    Model::Pending pending;
    MessagePtr result;
    {
        std::lock_guard guard(model_.lock_);
        const FolderPtr from = parent_.lock();
        if (deleted_ || !from)
            throw StoreError("the message has been deleted");
        if (!destination || destination->deleted_)
            throw StoreError("no such folder");
        if (destination == from)
            return shared_from_this();
        const StorePtr fromStore = from->store_.lock();
        const StorePtr toStore = destination->store_.lock();
        auto& list = associated_ ? from->hidden_ : from->messages_;
        list.erase(std::find(list.begin(), list.end(), shared_from_this()));
        if (fromStore == toStore) {
            parent_ = destination;
            (associated_ ? destination->hidden_ : destination->messages_)
                .push_back(shared_from_this());
            Notification moved = Model::About(*this, kEventObjectMoved);
            moved.oldId = id_;
            moved.oldParentId = from->id_;
            model_.Queue(pending, *fromStore, std::move(moved));
            result = shared_from_this();
        } else {
            // Into another store: a new message there, this one gone.
            result = model_.NewMessage(destination, associated_);
            result->properties_ = properties_;
            result->source_ = source_;
            deleted_ = true;
            model_.messages_.erase(id_);
            model_.Queue(pending, *fromStore, Model::About(*this, kEventObjectDeleted));
            model_.Queue(pending, *toStore, Model::About(*result, kEventObjectCreated));
        }
    }
    model_.Send(pending);
    return result;
}

MessagePtr Message::CopyTo(const FolderPtr& destination) const {
    Model::Pending pending;
    MessagePtr copy;
    {
        std::lock_guard guard(model_.lock_);
        const FolderPtr from = parent_.lock();
        if (deleted_ || !from)
            throw StoreError("the message has been deleted");
        if (!destination || destination->deleted_)
            throw StoreError("no such folder");
        copy = model_.NewMessage(destination, associated_);
        copy->properties_ = properties_;
        copy->source_ = source_;
        const StorePtr toStore = destination->store_.lock();
        if (toStore == from->store_.lock()) {
            Notification copied = Model::About(*copy, kEventObjectCopied);
            copied.oldId = id_;
            copied.oldParentId = from->id_;
            model_.Queue(pending, *toStore, std::move(copied));
        } else {
            model_.Queue(pending, *toStore, Model::About(*copy, kEventObjectCreated));
        }
    }
    model_.Send(pending);
    return copy;
}

void Message::Delete() {
    Model::Pending pending;
    {
        std::lock_guard guard(model_.lock_);
        const FolderPtr from = parent_.lock();
        if (deleted_ || !from)
            return;
        const Notification deleted = Model::About(*this, kEventObjectDeleted);
        auto& list = associated_ ? from->hidden_ : from->messages_;
        list.erase(std::find(list.begin(), list.end(), shared_from_this()));
        deleted_ = true;
        model_.messages_.erase(id_);
        if (const StorePtr store = from->store_.lock())
            model_.Queue(pending, *store, deleted);
    }
    model_.Send(pending);
}

}  // namespace mailstore
