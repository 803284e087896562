#include "module/module_table.h"

#include "fs/case_fold.h"

#include <algorithm>
#include <vector>

namespace platform::module {
namespace {

std::vector<std::unique_ptr<LoadedModule>>& Modules() {
    // Lives as long as the process: modules may be freed from static destructors.
    static auto* modules = new std::vector<std::unique_ptr<LoadedModule>>;
    return *modules;
}

template <class Predicate>
LoadedModule* FindIf(Predicate predicate) {
    auto& modules = Modules();
    auto found = std::find_if(modules.begin(), modules.end(),
                              [&](const auto& module) { return predicate(*module); });
    return found == modules.end() ? nullptr : found->get();
}

}  // namespace

LoadedModule::~LoadedModule() = default;

std::wstring_view BaseName(std::wstring_view windowsPath) {
    const size_t separator = windowsPath.find_last_of(L"\\/");
    return separator == std::wstring_view::npos ? windowsPath : windowsPath.substr(separator + 1);
}

LoadedModule* FindModule(HMODULE handle) {
    return FindIf([&](const LoadedModule& module) { return module.handle() == handle; });
}

LoadedModule* FindModule(const FileIdentity& file) {
    return FindIf([&](const LoadedModule& module) { return module.file == file; });
}

LoadedModule* FindModuleByBaseName(std::wstring_view baseName) {
    return FindIf([&](const LoadedModule& module) {
        return fs::NamesEqualIgnoringCase(BaseName(module.windowsPath), baseName);
    });
}

LoadedModule& AddModule(std::unique_ptr<LoadedModule> module) {
    Modules().push_back(std::move(module));
    return *Modules().back();
}

std::unique_ptr<LoadedModule> TakeModule(HMODULE handle) {
    auto& modules = Modules();
    auto found = std::find_if(modules.begin(), modules.end(),
                              [&](const auto& module) { return module->handle() == handle; });
    if (found == modules.end())
        return nullptr;
    auto module = std::move(*found);
    modules.erase(found);
    return module;
}

}  // namespace platform::module
