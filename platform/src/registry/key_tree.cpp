#include "registry/key_tree.h"

#include "registry/key_name.h"

#include <algorithm>

namespace platform::registry {
namespace {

// The value of that name in a key's list (const or not), or its end.
template <class Values>
auto FindValueIn(Values& values, std::wstring_view name) {
    std::wstring folded = FoldName(name);
    return std::find_if(values.begin(), values.end(),
                        [&](const RegistryValue& v) { return v.folded == folded; });
}

}  // namespace

RegistryKey::RegistryKey(std::wstring name, Hive hive, std::weak_ptr<RegistryKey> parent)
    : name_(std::move(name)), hive_(hive), parent_(std::move(parent)) {}

void RegistryKey::MarkTreeDeleted() {
    deleted_ = true;
    for (auto& [folded, child] : subkeys_)
        child->MarkTreeDeleted();
}

std::shared_ptr<RegistryKey> RegistryKey::FindSubkey(std::wstring_view name) const {
    auto found = subkeys_.find(FoldName(name));
    return found == subkeys_.end() ? nullptr : found->second;
}

std::shared_ptr<RegistryKey> RegistryKey::OpenOrCreateSubkey(const std::wstring& name,
                                                             bool& created) {
    auto [slot, inserted] = subkeys_.try_emplace(FoldName(name));
    if (inserted)
        slot->second = std::make_shared<RegistryKey>(name, hive_, weak_from_this());
    created = inserted;
    return slot->second;
}

void RegistryKey::RemoveSubkey(const RegistryKey& child) {
    auto found = subkeys_.find(FoldName(child.name()));
    if (found == subkeys_.end() || found->second.get() != &child)
        return;
    found->second->MarkTreeDeleted();
    subkeys_.erase(found);
}

const RegistryValue* RegistryKey::FindValue(std::wstring_view name) const {
    auto found = FindValueIn(values_, name);
    return found == values_.end() ? nullptr : &*found;
}

void RegistryKey::SetValue(std::wstring_view name, DWORD type, std::vector<BYTE> data) {
    auto existing = FindValueIn(values_, name);
    if (existing != values_.end()) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    values_.push_back({std::wstring(name), FoldName(name), type, std::move(data)});
}

bool RegistryKey::RemoveValue(std::wstring_view name) {
    auto found = FindValueIn(values_, name);
    if (found == values_.end())
        return false;
    values_.erase(found);
    return true;
}

}  // namespace platform::registry
