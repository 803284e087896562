#include "platform/root.h"

#include <cstdlib>
#include <mutex>

namespace platform::host {
namespace {

std::mutex rootLock;
std::filesystem::path& RootSlot() {
    static std::filesystem::path* root = new std::filesystem::path;
    return *root;
}

std::filesystem::path RootFromEnvironment() {
    const char* named = std::getenv("OLSIM_ROOT");
    std::filesystem::path root = (named && *named) ? named : "olsim-root";
    return std::filesystem::absolute(root).lexically_normal();
}

}  // namespace

std::filesystem::path Root() {
    std::lock_guard guard(rootLock);
    auto& root = RootSlot();
    if (root.empty())
        root = RootFromEnvironment();
    return root;
}

void SetRoot(const std::filesystem::path& root) {
    std::lock_guard guard(rootLock);
    RootSlot() = std::filesystem::absolute(root).lexically_normal();
}

}  // namespace platform::host
