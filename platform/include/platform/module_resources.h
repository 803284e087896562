// How a module carries its resources. A Windows module keeps them in a
// resource section; a module here exports one table under a fixed name,
// which FindResourceW, LoadResource, LoadStringW and the like read.
//
//   static const char kClassScript[] = "HKCR { ... }";
//   static const platform::resources::Resource kResources[] = {
//       {L"REGISTRY", MAKEINTRESOURCEW(102), 0, kClassScript, sizeof kClassScript - 1},
//       {RT_MANIFEST, MAKEINTRESOURCEW(2), 0, kManifest, sizeof kManifest - 1},
//   };
//   static const platform::resources::String kStrings[] = {{100, L"BVOL"}};
//   BV_MODULE_RESOURCES(kResources, kStrings);   // either may be nullptr
//
// Types and names are integers (MAKEINTRESOURCEW) or text, as in a resource
// script. The data is referred to, not copied, so it must be static. String
// tables are given as single strings with their identifiers; the loader builds
// the RT_STRING blocks of 16 from them (block id/16 + 1), each string a WCHAR
// length followed by its characters, unterminated, as Windows lays them out.
#pragma once

#include <libloaderapi.h>

#include <cstddef>

namespace platform::resources {

struct Resource {
    LPCWSTR type;
    LPCWSTR name;
    WORD language;  // 0: language neutral
    const void* data;
    DWORD size;  // in bytes
};

struct String {
    UINT id;
    const wchar_t* text;
};

struct Table {
    const Resource* resources;
    size_t resourceCount;
    const String* strings;
    size_t stringCount;
};

template <class T, size_t N>
constexpr size_t CountOf(const T (&)[N]) {
    return N;
}
constexpr size_t CountOf(std::nullptr_t) {
    return 0;
}

}  // namespace platform::resources

// The name the loader looks the table up by.
#define BV_MODULE_RESOURCES_SYMBOL "bv_module_resources"

#define BV_MODULE_RESOURCES(resourceArray, stringArray)                          \
    extern "C" __attribute__((visibility("default")))                            \
    const platform::resources::Table bv_module_resources = {                     \
        resourceArray, platform::resources::CountOf(resourceArray), stringArray, \
        platform::resources::CountOf(stringArray)}
