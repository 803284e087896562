// Store identifiers counted in a small file under the root. The file is
// locked while it is read and rewritten, so processes sharing a root never
// hand out the same identifier, and it is on the disk before the identifier
// is used, so a later run never counts from an older value.
#include "store_uid.h"

#include <windows.h>

#include <rpcdce.h>

#include <platform/root.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <sys/file.h>
#include <unistd.h>

namespace mailstore {
namespace {

constexpr std::size_t kUidSize = 16;

// A fresh root counts on from here: its first store's identifier ends in 1.
const Bytes kFreshRootBase = {'B', 'V', 'S', 'T', 'O', 'R', 'E', 0, 0, 0, 0, 0, 0, 0, 0, 0};

// Another process counting at the same moment holds the lock for a read and
// a write; a holder stopped for longer than this is not waited for.
constexpr auto kLockWait = std::chrono::seconds(5);
constexpr auto kLockRetry = std::chrono::milliseconds(5);

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

void Log(const std::string& what) {
    std::cerr << "mail store: " << what << "\n";
}

std::string SystemReason() {
    return std::strerror(errno);
}

// A GUID drawn as Windows draws one (version 4, from the kernel's random
// source), as its 16 bytes lie in memory.
Bytes RandomUid() {
    UUID uuid{};
    if (UuidCreate(&uuid) != RPC_S_OK) {
        // Without the random source, the moment and the process still make
        // bytes that no earlier run had.
        Log("no random source for a GUID; the clock and the process id make it");
        const auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
        uuid.Data1 = static_cast<std::uint32_t>(::getpid());
        static_assert(sizeof ticks == sizeof uuid.Data4);
        std::memcpy(uuid.Data4, &ticks, sizeof uuid.Data4);
    }
    Bytes uid(sizeof uuid);
    std::memcpy(uid.data(), &uuid, sizeof uuid);
    return uid;
}

// The identifier after `uid`, read as one big-endian number.
Bytes Successor(Bytes uid) {
    for (auto byte = uid.rbegin(); byte != uid.rend(); ++byte) {
        if (++*byte != 0)
            break;
    }
    return uid;
}

bool LockExclusively(std::FILE* file) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(::fileno(file), LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kLockRetry);
    }
    return true;
}

// The file's text, at most a line's worth; nothing when it cannot be read.
std::optional<std::string> ReadText(std::FILE* file) {
    char buffer[128];
    std::rewind(file);
    const std::size_t count = std::fread(buffer, 1, sizeof buffer, file);
    if (std::ferror(file))
        return std::nullopt;
    std::string text(buffer, count);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

// The last identifier the file holds: the fresh root's base when it is
// empty, nothing when it holds anything but 32 hexadecimal digits.
std::optional<Bytes> LastUid(const std::string& text) {
    if (text.empty())
        return kFreshRootBase;
    const auto uid = EntryIdFromHex(std::string_view(text));
    if (!uid || uid->size() != kUidSize)
        return std::nullopt;
    return uid;
}

bool Rewrite(std::FILE* file, const Bytes& uid) {
    std::string text;
    for (wchar_t digit : EntryIdToHex(uid))
        text.push_back(static_cast<char>(digit));
    text.push_back('\n');
    std::rewind(file);
    return std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
           std::fflush(file) == 0 &&
           ::ftruncate(::fileno(file), static_cast<off_t>(text.size())) == 0 &&
           ::fsync(::fileno(file)) == 0;
}

// Nothing when the file cannot be opened; `failure` says why.
File OpenCounter(const std::filesystem::path& path, std::string& failure) {
    File none(nullptr, &std::fclose);
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) {
        failure = "cannot make " + path.parent_path().string() + ": " + error.message();
        return none;
    }
    // "a+" would make the file without truncating it, but would write at its end.
    std::FILE* opened = std::fopen(path.c_str(), "r+e");
    if (!opened && errno == ENOENT)
        opened = std::fopen(path.c_str(), "w+xe");
    if (!opened && errno == EEXIST)  // another process made it meanwhile
        opened = std::fopen(path.c_str(), "r+e");
    if (!opened) {
        failure = "cannot open " + path.string() + ": " + SystemReason();
        return none;
    }
    return File(opened, &std::fclose);
}

// The next identifier counted in the file, which then holds it; nothing
// when the file cannot be opened, locked, read or written (`failure` says
// why), so the count can be trusted in a later run.
std::optional<Bytes> CountedUid(const std::filesystem::path& path, std::string& failure) {
    File file = OpenCounter(path, failure);
    if (!file)
        return std::nullopt;
    if (!LockExclusively(file.get())) {
        failure = "cannot lock " + path.string() + ": " + SystemReason();
        return std::nullopt;
    }
    const std::optional<std::string> text = ReadText(file.get());
    if (!text) {
        failure = "cannot read " + path.string() + ": " + SystemReason();
        return std::nullopt;
    }
    std::optional<Bytes> last = LastUid(*text);
    if (!last) {
        // What was counted is lost; a random base will not meet it again.
        Log(path.string() + " does not hold a store identifier; counting on from a random one");
        last = RandomUid();
    }
    const Bytes uid = Successor(*last);
    if (!Rewrite(file.get(), uid)) {
        failure = "cannot write " + path.string() + ": " + SystemReason();
        return std::nullopt;
    }
    return uid;  // closing the file releases the lock
}

}  // namespace

std::filesystem::path StoreUidFile() {
    return platform::host::Root() / "mailstore" / "last-store-uid";
}

Bytes NewStoreUid() {
    std::string failure;
    if (std::optional<Bytes> uid = CountedUid(StoreUidFile(), failure))
        return *uid;
    Log(failure + "; the store's identifier is a random one");
    return RandomUid();
}

}  // namespace mailstore
