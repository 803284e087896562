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
    : m_name(std::move(name)), m_hive(hive), m_parent(std::move(parent)) {}

void RegistryKey::MarkTreeDeleted() {
    m_deleted = true;
    for (auto& [folded, child] : m_subkeys)
        child->MarkTreeDeleted();
}

std::shared_ptr<RegistryKey> RegistryKey::FindSubkey(std::wstring_view name) const {
    auto found = m_subkeys.find(FoldName(name));
    return found == m_subkeys.end() ? nullptr : found->second;
}

std::shared_ptr<RegistryKey> RegistryKey::OpenOrCreateSubkey(const std::wstring& name,
                                                             bool& created) {
    auto [slot, inserted] = m_subkeys.try_emplace(FoldName(name));
    if (inserted)
        slot->second = std::make_shared<RegistryKey>(name, m_hive, weak_from_this());
    created = inserted;
    return slot->second;
}

void RegistryKey::RemoveSubkey(const RegistryKey& child) {
    auto found = m_subkeys.find(FoldName(child.name()));
    if (found == m_subkeys.end() || found->second.get() != &child)
        return;
    found->second->MarkTreeDeleted();
    m_subkeys.erase(found);
}

const RegistryValue* RegistryKey::FindValue(std::wstring_view name) const {
    auto found = FindValueIn(m_values, name);
    return found == m_values.end() ? nullptr : &*found;
}

void RegistryKey::SetValue(std::wstring_view name, DWORD type, std::vector<BYTE> data) {
    auto existing = FindValueIn(m_values, name);
    if (existing != m_values.end()) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    m_values.push_back({std::wstring(name), FoldName(name), type, std::move(data)});
}

bool RegistryKey::RemoveValue(std::wstring_view name) {
    auto found = FindValueIn(m_values, name);
    if (found == m_values.end())
        return false;
    m_values.erase(found);
    return true;
}

}  // namespace platform::registry
