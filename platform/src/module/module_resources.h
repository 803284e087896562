// The resources of one module, read from the table the module exports
// (platform/module_resources.h), with its string tables built into blocks.
#pragma once

#include "platform/module_resources.h"

#include <windef.h>

#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace platform::module {

// A resource type or name: an integer identifier, or text kept upper-cased
// because Windows compares resource names ignoring case.
using ResourceKey = std::variant<WORD, std::wstring>;
ResourceKey KeyOf(LPCWSTR typeOrName);

struct ResourceEntry {
    ResourceKey type;
    ResourceKey name;
    WORD language = 0;
    const void* data = nullptr;
    DWORD size = 0;
};

class ModuleResources {
  public:
    explicit ModuleResources(const resources::Table& table);

    // An entry, or the Win32 error of not finding one. Language 0 prefers a
    // neutral entry and else takes any.
    std::variant<const ResourceEntry*, DWORD> Find(const ResourceKey& type, const ResourceKey& name,
                                                   WORD language) const;

  private:
    void AddStringBlocks(const resources::Table& table);

    std::vector<ResourceEntry> m_entries;
    std::vector<std::vector<WCHAR>> m_stringBlocks;  // the data of the RT_STRING entries
};

}  // namespace platform::module
