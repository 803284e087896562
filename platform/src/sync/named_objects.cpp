#include "sync/named_objects.h"

#include <map>
#include <mutex>

namespace platform::sync {
namespace {

struct Namespace {
    std::mutex lock;
    std::map<std::wstring, std::weak_ptr<KernelObject>> objects;
};

Namespace& TheNamespace() {
    static Namespace* names = new Namespace;  // lives as long as the process
    return *names;
}

std::shared_ptr<KernelObject> Live(Namespace& names, const std::wstring& name) {
    auto found = names.objects.find(name);
    if (found == names.objects.end())
        return nullptr;
    auto object = found->second.lock();
    if (!object)
        names.objects.erase(found);
    return object;
}

}  // namespace

NamedObject FindOrCreateNamed(const std::wstring& name,
                              const std::function<std::shared_ptr<KernelObject>()>& make) {
    auto& names = TheNamespace();
    std::lock_guard guard(names.lock);
    if (auto existing = Live(names, name))
        return {existing, true};
    auto created = make();
    names.objects[name] = created;
    return {created, false};
}

std::shared_ptr<KernelObject> FindNamed(const std::wstring& name) {
    auto& names = TheNamespace();
    std::lock_guard guard(names.lock);
    return Live(names, name);
}

std::vector<std::pair<std::wstring, std::shared_ptr<KernelObject>>> AllNamed() {
    auto& names = TheNamespace();
    std::lock_guard guard(names.lock);
    std::vector<std::pair<std::wstring, std::shared_ptr<KernelObject>>> live;
    for (const auto& [name, weak] : names.objects)
        if (auto object = weak.lock())
            live.emplace_back(name, std::move(object));
    return live;
}

}  // namespace platform::sync
