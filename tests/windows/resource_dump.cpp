// Writes the resource table of a module built for this platform as JSON, for
// tests/windows/check_module.py to compare with the resources windres
// compiled into the Windows build of the same module:
//
//   resource_dump MODULE > resources.json
//
// {"wchar": 4, "resources": [{"type": ..., "name": ..., "language": 1033,
//  "data": "hex"}], "strings": [{"id": 100, "text": [66, 86, 79, 76]}]}
// Types and names are numbers, or text as a list of characters.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include <platform/module_resources.h>

namespace {

std::string Characters(const wchar_t* text) {
    std::string out = "[";
    for (const wchar_t* c = text; *c; ++c)
        out += (c == text ? "" : ", ") + std::to_string(static_cast<unsigned long>(*c));
    return out + "]";
}

std::string Identifier(LPCWSTR id) {
    return IS_INTRESOURCE(id) ? std::to_string(reinterpret_cast<uintptr_t>(id)) : Characters(id);
}

std::string Hex(const void* data, DWORD size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (DWORD i = 0; i < size; ++i) {
        const unsigned char byte = static_cast<const unsigned char*>(data)[i];
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: resource_dump MODULE\n");
        return 2;
    }
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "resource_dump: %s\n", dlerror());
        return 1;
    }
    const auto* table =
        static_cast<const platform::resources::Table*>(dlsym(module, BV_MODULE_RESOURCES_SYMBOL));
    if (!table) {
        std::fprintf(stderr, "resource_dump: %s has no resource table\n", argv[1]);
        return 1;
    }
    std::printf("{\"wchar\": %zu,\n \"resources\": [", sizeof(WCHAR));
    for (size_t i = 0; i < table->resourceCount; ++i) {
        const platform::resources::Resource& resource = table->resources[i];
        std::printf("%s\n  {\"type\": %s, \"name\": %s, \"language\": %u, \"data\": \"%s\"}",
                    i ? "," : "", Identifier(resource.type).c_str(),
                    Identifier(resource.name).c_str(), resource.language,
                    Hex(resource.data, resource.size).c_str());
    }
    std::printf("],\n \"strings\": [");
    for (size_t i = 0; i < table->stringCount; ++i)
        std::printf("%s\n  {\"id\": %u, \"text\": %s}", i ? "," : "", table->strings[i].id,
                    Characters(table->strings[i].text).c_str());
    std::printf("]}\n");
    return 0;
}
