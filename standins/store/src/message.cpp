#include <mailstore/model.h>

#include "rfc822.h"
#include "text.h"

namespace mailstore {

std::uint16_t TypeOf(const PropValue& value) {
    static constexpr std::uint16_t kTypes[] = {kTypeLong,    kTypeBoolean, kTypeString8,
                                               kTypeUnicode, kTypeSystime, kTypeBinary};
    return kTypes[value.index()];
}

Message::Message(Model& model, std::uint64_t serial) : m_model(model), m_serial(serial) {}

EntryId Message::Id() const {
    std::lock_guard guard(m_model.m_lock);
    return m_id;
}

FolderPtr Message::Parent() const {
    std::lock_guard guard(m_model.m_lock);
    return m_deleted ? nullptr : m_parent.lock();
}

StorePtr Message::OwningStore() const {
    std::lock_guard guard(m_model.m_lock);
    const FolderPtr parent = m_parent.lock();
    return m_deleted || !parent ? nullptr : parent->m_store.lock();
}

bool Message::IsDeleted() const {
    std::lock_guard guard(m_model.m_lock);
    return m_deleted;
}

bool Message::IsAssociated() const {
    return m_associated;
}

std::optional<PropValue> Message::Get(PropTag tag) const {
    std::lock_guard guard(m_model.m_lock);
    switch (tag) {
        case tags::kEntryId:
            return m_id;
        case tags::kParentEntryId:
            if (const FolderPtr parent = m_parent.lock())
                return parent->m_id;
            return std::nullopt;
        case tags::kStoreEntryId:
            if (const FolderPtr parent = m_parent.lock()) {
                if (const StorePtr store = parent->m_store.lock())
                    return store->m_id;
            }
            return std::nullopt;
        case tags::kMessageFlags:
            return static_cast<std::int32_t>(Flags());
        case tags::kMessageSize:
            return static_cast<std::int32_t>(Size());
        default:
            break;
    }
    if (const auto it = m_properties.find(tag); it != m_properties.end())
        return it->second;
    // A string asked for in the other width, as MAPI converts it.
    if (PropType(tag) == kTypeString8) {
        const auto it = m_properties.find(ChangeType(tag, kTypeUnicode));
        if (it != m_properties.end()) {
            return text::ToNarrow(std::get<std::wstring>(it->second), text::kAnsi);
        }
    } else if (PropType(tag) == kTypeUnicode) {
        const auto it = m_properties.find(ChangeType(tag, kTypeString8));
        if (it != m_properties.end()) {
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
    std::lock_guard guard(m_model.m_lock);
    std::map<PropTag, PropValue> all = m_properties;
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
        std::lock_guard guard(m_model.m_lock);
        if (m_deleted)
            throw StoreError("the message has been deleted");
        if (tag == tags::kMessageFlags) {
            // Whether a message is associated is fixed when it is made.
            const auto flags = static_cast<std::uint32_t>(std::get<std::int32_t>(value));
            value = static_cast<std::int32_t>(flags & ~kMsgFlagAssociated);
        }
        // One width of a string at a time, so a reader never sees a stale one.
        if (PropType(tag) == kTypeString8)
            m_properties.erase(ChangeType(tag, kTypeUnicode));
        if (PropType(tag) == kTypeUnicode)
            m_properties.erase(ChangeType(tag, kTypeString8));
        m_properties[tag] = std::move(value);
        if (const StorePtr store = OwningStore()) {
            m_model.Queue(pending, *store, Model::About(*this, kEventObjectModified));
        }
    }
    m_model.Send(pending);
}

void Message::Remove(PropTag tag) {
    Model::Pending pending;
    {
        std::lock_guard guard(m_model.m_lock);
        if (m_deleted)
            throw StoreError("the message has been deleted");
        if (m_properties.erase(tag) == 0)
            return;
        if (const StorePtr store = OwningStore()) {
            m_model.Queue(pending, *store, Model::About(*this, kEventObjectModified));
        }
    }
    m_model.Send(pending);
}

std::string Message::Class() const {
    return GetNarrow(tags::kMessageClass).value_or("");
}

std::wstring Message::Subject() const {
    return GetText(tags::kSubject).value_or(L"");
}

std::uint32_t Message::Flags() const {
    std::lock_guard guard(m_model.m_lock);
    std::uint32_t flags = 0;
    if (const auto it = m_properties.find(tags::kMessageFlags); it != m_properties.end()) {
        flags = static_cast<std::uint32_t>(std::get<std::int32_t>(it->second));
    }
    return m_associated ? flags | kMsgFlagAssociated : flags;
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
    std::lock_guard guard(m_model.m_lock);
    if (!m_source.empty())
        return static_cast<std::uint32_t>(m_source.size());
    // A message made in the store is as large as what it holds.
    std::size_t size = 0;
    for (const auto& [tag, value] : m_properties) {
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
    std::lock_guard guard(m_model.m_lock);
    return m_source;
}

MessagePtr Message::MoveTo(const FolderPtr& destination) {
    Model::Pending pending;
    MessagePtr result;
    {
        std::lock_guard guard(m_model.m_lock);
        const FolderPtr from = m_parent.lock();
        if (m_deleted || !from)
            throw StoreError("the message has been deleted");
        if (!destination || destination->m_deleted)
            throw StoreError("no such folder");
        if (destination == from)
            return shared_from_this();
        const StorePtr fromStore = from->m_store.lock();
        const StorePtr toStore = destination->m_store.lock();
        auto& list = m_associated ? from->m_hidden : from->m_messages;
        list.erase(std::find(list.begin(), list.end(), shared_from_this()));
        if (fromStore == toStore) {
            m_parent = destination;
            (m_associated ? destination->m_hidden : destination->m_messages)
                .push_back(shared_from_this());
            Notification moved = Model::About(*this, kEventObjectMoved);
            moved.oldId = m_id;
            moved.oldParentId = from->m_id;
            m_model.Queue(pending, *fromStore, std::move(moved));
            result = shared_from_this();
        } else {
            // Into another store: a new message there, this one gone.
            result = m_model.NewMessage(destination, m_associated);
            result->m_properties = m_properties;
            result->m_source = m_source;
            m_deleted = true;
            m_model.m_messages.erase(m_id);
            m_model.Queue(pending, *fromStore, Model::About(*this, kEventObjectDeleted));
            m_model.Queue(pending, *toStore, Model::About(*result, kEventObjectCreated));
        }
    }
    m_model.Send(pending);
    return result;
}

MessagePtr Message::CopyTo(const FolderPtr& destination) const {
    Model::Pending pending;
    MessagePtr copy;
    {
        std::lock_guard guard(m_model.m_lock);
        const FolderPtr from = m_parent.lock();
        if (m_deleted || !from)
            throw StoreError("the message has been deleted");
        if (!destination || destination->m_deleted)
            throw StoreError("no such folder");
        copy = m_model.NewMessage(destination, m_associated);
        copy->m_properties = m_properties;
        copy->m_source = m_source;
        const StorePtr toStore = destination->m_store.lock();
        if (toStore == from->m_store.lock()) {
            Notification copied = Model::About(*copy, kEventObjectCopied);
            copied.oldId = m_id;
            copied.oldParentId = from->m_id;
            m_model.Queue(pending, *toStore, std::move(copied));
        } else {
            m_model.Queue(pending, *toStore, Model::About(*copy, kEventObjectCreated));
        }
    }
    m_model.Send(pending);
    return copy;
}

void Message::Delete() {
    Model::Pending pending;
    {
        std::lock_guard guard(m_model.m_lock);
        const FolderPtr from = m_parent.lock();
        if (m_deleted || !from)
            return;
        const Notification deleted = Model::About(*this, kEventObjectDeleted);
        auto& list = m_associated ? from->m_hidden : from->m_messages;
        list.erase(std::find(list.begin(), list.end(), shared_from_this()));
        m_deleted = true;
        m_model.m_messages.erase(m_id);
        if (const StorePtr store = from->m_store.lock())
            m_model.Queue(pending, *store, deleted);
    }
    m_model.Send(pending);
}

}  // namespace mailstore
