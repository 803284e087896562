// BVOLTOOL.dll, the safe-item library: its module object, exports and
// resources. Its classes register themselves in the object map from their
// own files.
#include <platform/module_resources.h>

#include "safeitem/resource_ids.h"
#include "server/standin_server.h"

// Embedded from the registry scripts beside this file (see CMakeLists.txt).
extern const char kMailItemScript[];
extern const unsigned kMailItemScript_size;
extern const char kMapiUtilsScript[];
extern const unsigned kMapiUtilsScript_size;
extern const char kSessionScript[];
extern const unsigned kSessionScript_size;

namespace {
const platform::resources::Resource kResources[] = {
    {L"REGISTRY", MAKEINTRESOURCEW(IDR_BVMAILITEM), 0, kMailItemScript, kMailItemScript_size},
    {L"REGISTRY", MAKEINTRESOURCEW(IDR_BVMAPIUTILS), 0, kMapiUtilsScript, kMapiUtilsScript_size},
    {L"REGISTRY", MAKEINTRESOURCEW(IDR_BVRDOSESSION), 0, kSessionScript, kSessionScript_size},
};
}  // namespace

BV_MODULE_RESOURCES(kResources, nullptr);
BV_STANDIN_SERVER_MODULE(CSafeItemModule)
