// Core.dll, the filter core library: its module object, exports and
// resources. Its classes register themselves in the object map from their
// own files.
#include <platform/module_resources.h>

#include "core/resource_ids.h"
#include "server/standin_server.h"

// Embedded from the registry scripts beside this file (see CMakeLists.txt).
#define BV_CORE_SCRIPT(name)             \
    extern const char k##name##Script[]; \
    extern const unsigned k##name##Script_size;
BV_CORE_SCRIPT(Http)
BV_CORE_SCRIPT(Library)
BV_CORE_SCRIPT(Xml)
BV_CORE_SCRIPT(RulesSenderDenied)
BV_CORE_SCRIPT(RulesSenderAllowed)
BV_CORE_SCRIPT(Account)
BV_CORE_SCRIPT(Filter)
BV_CORE_SCRIPT(Digest)
#undef BV_CORE_SCRIPT

namespace {
#define BV_CORE_RESOURCE(id, name) \
    { L"REGISTRY", MAKEINTRESOURCEW(id), 0, k##name##Script, k##name##Script_size }
const platform::resources::Resource kResources[] = {
    BV_CORE_RESOURCE(IDR_HTTP, Http),
    BV_CORE_RESOURCE(IDR_LIBRARY, Library),
    BV_CORE_RESOURCE(IDR_XML, Xml),
    BV_CORE_RESOURCE(IDR_RULESSENDERDENIED, RulesSenderDenied),
    BV_CORE_RESOURCE(IDR_RULESSENDERALLOWED, RulesSenderAllowed),
    BV_CORE_RESOURCE(IDR_ACCOUNT, Account),
    BV_CORE_RESOURCE(IDR_FILTER, Filter),
    BV_CORE_RESOURCE(IDR_DIGEST, Digest),
};
#undef BV_CORE_RESOURCE
}  // namespace

BV_MODULE_RESOURCES(kResources, nullptr);
BV_STANDIN_SERVER_MODULE(CCoreModule)
