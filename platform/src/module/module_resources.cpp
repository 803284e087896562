#include "module/module_resources.h"

#include "fs/case_fold.h"

#include <winerror.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <cwchar>
#include <map>

namespace platform::module {
namespace {

constexpr UINT kStringsPerBlock = 16;
constexpr WORD kStringType = 6;  // RT_STRING

// "#123" names the integer identifier 123, as in a resource script.
std::optional<WORD> NumberAfterHash(std::wstring_view text) {
    if (text.size() < 2 || text[0] != L'#')
        return std::nullopt;
    unsigned value = 0;
    for (wchar_t c : text.substr(1)) {
        if (c < L'0' || c > L'9' || value > 0xFFFF)
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    return value <= 0xFFFF ? std::optional<WORD>(static_cast<WORD>(value)) : std::nullopt;
}

}  // namespace

ResourceKey KeyOf(LPCWSTR typeOrName) {
    if (IS_INTRESOURCE(typeOrName))
        return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(typeOrName));
    if (auto number = NumberAfterHash(typeOrName))
        return *number;
    std::wstring upper(typeOrName);
    std::transform(upper.begin(), upper.end(), upper.begin(), fs::UpperCaseForNames);
    return upper;
}

ModuleResources::ModuleResources(const resources::Table& table) {
    for (size_t i = 0; i < table.resourceCount; ++i) {
        const resources::Resource& resource = table.resources[i];
        m_entries.push_back({KeyOf(resource.type), KeyOf(resource.name), resource.language,
                             resource.data, resource.size});
    }
    AddStringBlocks(table);
}

void ModuleResources::AddStringBlocks(const resources::Table& table) {
    std::map<WORD, std::array<std::wstring_view, kStringsPerBlock>> blocks;
    for (size_t i = 0; i < table.stringCount; ++i) {
        const resources::String& string = table.strings[i];
        const auto block = static_cast<WORD>(string.id / kStringsPerBlock + 1);
        blocks[block][string.id % kStringsPerBlock] = string.text;
    }
    for (const auto& [block, strings] : blocks) {
        std::vector<WCHAR> data;
        for (std::wstring_view text : strings) {
            data.push_back(static_cast<WCHAR>(text.size()));
            data.insert(data.end(), text.begin(), text.end());
        }
        m_stringBlocks.push_back(std::move(data));
        const auto& stored = m_stringBlocks.back();
        m_entries.push_back({kStringType, block, 0, stored.data(),
                             static_cast<DWORD>(stored.size() * sizeof(WCHAR))});
    }
}

std::variant<const ResourceEntry*, DWORD> ModuleResources::Find(const ResourceKey& type,
                                                                const ResourceKey& name,
                                                                WORD language) const {
    bool typeFound = false;
    const ResourceEntry* anyLanguage = nullptr;
    for (const ResourceEntry& entry : m_entries) {
        if (entry.type != type)
            continue;
        typeFound = true;
        if (entry.name != name)
            continue;
        if (entry.language == language)
            return &entry;
        if (!anyLanguage)
            anyLanguage = &entry;
    }
    if (!typeFound)
        return DWORD{ERROR_RESOURCE_TYPE_NOT_FOUND};
    if (!anyLanguage)
        return DWORD{ERROR_RESOURCE_NAME_NOT_FOUND};
    if (language != 0)
        return DWORD{ERROR_RESOURCE_LANG_NOT_FOUND};
    return anyLanguage;
}

}  // namespace platform::module
