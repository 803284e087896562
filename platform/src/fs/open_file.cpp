#include "fs/open_file.h"

#include <fileapi.h>
#include <winerror.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

namespace platform::fs {
namespace {

// Specific rights that stand for data access, besides the generic ones.
constexpr DWORD kFileReadData = 0x0001;
constexpr DWORD kFileWriteData = 0x0002;
constexpr DWORD kFileAppendData = 0x0004;
constexpr DWORD kDelete = 0x00010000;
constexpr DWORD kAllShareModes = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

unsigned AccessBits(DWORD desired) {
    unsigned bits = 0;
    if (desired & (GENERIC_READ | GENERIC_ALL | kFileReadData))
        bits |= kReadAccess;
    if (desired & (GENERIC_WRITE | GENERIC_ALL | kFileWriteData | kFileAppendData))
        bits |= kWriteAccess;
    if (desired & (GENERIC_ALL | kDelete))
        bits |= kDeleteAccess;
    return bits;
}

// What the opens of one file hold and share, counted as the I/O manager does.
struct SharedFile {
    int handles = 0;  // every open, also those without data access
    int opens = 0;    // opens that take part in sharing
    int readers = 0, writers = 0, deleters = 0;
    int sharingRead = 0, sharingWrite = 0, sharingDelete = 0;
    bool deletePending = false;
    std::filesystem::path hostPath;  // where to delete it at the last close

    bool Refuses(unsigned access, DWORD share) const {
        if (access == 0)
            return false;
        bool accessNotShared = ((access & kReadAccess) && sharingRead < opens) ||
                               ((access & kWriteAccess) && sharingWrite < opens) ||
                               ((access & kDeleteAccess) && sharingDelete < opens);
        bool heldAccessNotShared = (readers && !(share & FILE_SHARE_READ)) ||
                                   (writers && !(share & FILE_SHARE_WRITE)) ||
                                   (deleters && !(share & FILE_SHARE_DELETE));
        return accessNotShared || heldAccessNotShared;
    }

    void Count(unsigned access, DWORD share, int step) {
        handles += step;
        if (access == 0)
            return;
        opens += step;
        readers += (access & kReadAccess) ? step : 0;
        writers += (access & kWriteAccess) ? step : 0;
        deleters += (access & kDeleteAccess) ? step : 0;
        sharingRead += (share & FILE_SHARE_READ) ? step : 0;
        sharingWrite += (share & FILE_SHARE_WRITE) ? step : 0;
        sharingDelete += (share & FILE_SHARE_DELETE) ? step : 0;
    }
};

struct ShareTable {
    std::mutex lock;
    std::map<FileId, SharedFile> files;
};

ShareTable& Shares() {
    static ShareTable* table = new ShareTable;  // open files may outlive static destruction
    return *table;
}

FileId IdOf(const struct stat& info) {
    return {info.st_dev, info.st_ino};
}

// `known` is the status the path's lookup already took, if it did.
bool StatPath(const std::filesystem::path& path, FileId& id, bool* readOnly = nullptr,
              const std::optional<struct stat>& known = std::nullopt) {
    struct stat info {};
    if (known)
        info = *known;
    else if (::stat(path.c_str(), &info) != 0)
        return false;
    id = IdOf(info);
    // Windows refuses to write, truncate or delete a read-only file whoever
    // asks, where the host would let its superuser do it.
    if (readOnly)
        *readOnly = !(info.st_mode & S_IWUSR);
    return true;
}

const SharedFile* FindShared(const FileId& id) {
    auto found = Shares().files.find(id);
    return found == Shares().files.end() ? nullptr : &found->second;
}

// Opens the host file; the host descriptor is read-write whenever the host
// allows it, since the access a caller may use is checked here, not by the host.
OpenResult OpenHost(const HostLocation& location, const OpenRequest& request, unsigned access) {
    bool truncate =
        request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING;
    int flags = O_CLOEXEC | (request.append ? O_APPEND : 0);
    if (!location.found)
        flags |= O_CREAT | O_EXCL;
    if (location.found && truncate)
        flags |= O_TRUNC;
    int fd = ::open(location.path.c_str(), flags | O_RDWR, 0666);
    bool needsWrite = (access & kWriteAccess) || (flags & (O_TRUNC | O_CREAT));
    if (fd < 0 && errno == EACCES && !needsWrite)
        fd = ::open(location.path.c_str(), flags | O_RDONLY);
    if (fd < 0)
        return {nullptr, Win32ErrorFromErrno(errno), false};
    struct stat info {};
    ::fstat(fd, &info);
    auto file = std::make_shared<OpenFile>(UniqueFd(fd), IdOf(info), access, request.shareMode);
    return {std::move(file), 0, location.found};
}

DWORD CheckRequest(const OpenRequest& request) {
    if (request.disposition < CREATE_NEW || request.disposition > TRUNCATE_EXISTING)
        return ERROR_INVALID_PARAMETER;
    if (request.shareMode & ~kAllShareModes)
        return ERROR_INVALID_PARAMETER;
    // Truncating needs write access; Windows refuses the request itself.
    if (request.disposition == TRUNCATE_EXISTING &&
        !(AccessBits(request.desiredAccess) & kWriteAccess))
        return ERROR_INVALID_PARAMETER;
    return 0;
}

// Checks the existing file against the request; 0 when it may be opened.
DWORD CheckExisting(const HostLocation& location, const OpenRequest& request, unsigned access) {
    FileId id;
    bool readOnly = false;
    if (!StatPath(location.path, id, &readOnly, location.status))
        return ERROR_FILE_NOT_FOUND;
    const SharedFile* shared = FindShared(id);
    if (shared && shared->deletePending)
        return ERROR_ACCESS_DENIED;
    if (request.disposition == CREATE_NEW)
        return ERROR_FILE_EXISTS;
    bool truncates =
        request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING;
    if (readOnly && ((access & kWriteAccess) || truncates))
        return ERROR_ACCESS_DENIED;
    if (shared && shared->Refuses(access, request.shareMode))
        return ERROR_SHARING_VIOLATION;
    return 0;
}

// An existing file whose names are spelt in their on-disk case, opened at
// once: the open itself finds it, and the checks run on what it found. Null
// when that open fails for any reason; the full lookup then decides.
std::optional<OpenResult> OpenExisting(const WindowsPath& path, const OpenRequest& request,
                                       unsigned access) {
    HostLocation location;
    location.path = ExactHostPath(path);
    UniqueFd fd(
        ::open(location.path.c_str(), O_CLOEXEC | O_RDWR | (request.append ? O_APPEND : 0)));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0)
        return std::nullopt;
    location.found = location.parentFound = true;
    location.status = info;
    if (DWORD error = CheckExisting(location, request, access))
        return OpenResult{nullptr, error, false};
    if ((request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING) &&
        ::ftruncate(fd.get(), 0) != 0)
        return OpenResult{nullptr, Win32ErrorFromErrno(errno), false};
    auto file = std::make_shared<OpenFile>(std::move(fd), IdOf(info), access, request.shareMode);
    return OpenResult{std::move(file), 0, true};
}

}  // namespace

UniqueFd::~UniqueFd() {
    if (m_fd >= 0)
        ::close(m_fd);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.release();
    }
    return *this;
}

int UniqueFd::release() {
    int fd = m_fd;
    m_fd = -1;
    return fd;
}

OpenFile::OpenFile(UniqueFd fd, FileId id, unsigned access, DWORD share)
    : m_fd(std::move(fd)), m_id(id), m_access(access), m_share(share) {
    Shares().files[m_id].Count(m_access, m_share, +1);  // the caller holds the table's lock
}

OpenFile::~OpenFile() {
    auto& table = Shares();
    std::lock_guard guard(table.lock);
    auto found = table.files.find(m_id);
    if (found == table.files.end())
        return;
    found->second.Count(m_access, m_share, -1);
    if (found->second.handles > 0)
        return;
    if (found->second.deletePending)
        ::unlink(found->second.hostPath.c_str());
    table.files.erase(found);
}

OpenResult OpenFileAt(const WindowsPath& path, const OpenRequest& request) {
    if (DWORD error = CheckRequest(request))
        return {nullptr, error, false};
    unsigned access = AccessBits(request.desiredAccess);
    std::lock_guard guard(Shares().lock);
    if (!path.components.empty() && !path.trailingSeparator) {
        if (auto opened = OpenExisting(path, request, access))
            return *std::move(opened);
    }
    HostLocation location = Locate(path);
    if (location.found && location.isDirectory)
        return {nullptr, ERROR_ACCESS_DENIED, false};
    if (!location.parentFound)
        return {nullptr, ERROR_PATH_NOT_FOUND, false};
    if (path.trailingSeparator)
        return {nullptr, ERROR_INVALID_NAME, false};
    if (location.found) {
        if (DWORD error = CheckExisting(location, request, access))
            return {nullptr, error, false};
    } else if (request.disposition == OPEN_EXISTING || request.disposition == TRUNCATE_EXISTING) {
        return {nullptr, ERROR_FILE_NOT_FOUND, false};
    }
    return OpenHost(location, request, access);
}

DWORD DeleteFileAt(const WindowsPath& path) {
    std::lock_guard guard(Shares().lock);
    HostLocation location = Locate(path);
    if (!location.found)
        return NotFoundError(location);
    if (location.isDirectory)
        return ERROR_ACCESS_DENIED;
    FileId id;
    bool readOnly = false;
    if (!StatPath(location.path, id, &readOnly))
        return ERROR_FILE_NOT_FOUND;
    if (readOnly)
        return ERROR_ACCESS_DENIED;
    auto found = Shares().files.find(id);
    if (found == Shares().files.end()) {
        return ::unlink(location.path.c_str()) == 0 ? 0 : Win32ErrorFromErrno(errno);
    }
    // Deleting opens the file for delete access, sharing everything.
    SharedFile& shared = found->second;
    if (shared.deletePending)
        return ERROR_ACCESS_DENIED;
    if (shared.Refuses(kDeleteAccess, kAllShareModes))
        return ERROR_SHARING_VIOLATION;
    shared.deletePending = true;
    shared.hostPath = location.path;
    return 0;
}

bool IsDeletePending(const std::filesystem::path& hostPath) {
    FileId id;
    std::lock_guard guard(Shares().lock);
    if (!StatPath(hostPath, id))
        return false;
    const SharedFile* shared = FindShared(id);
    return shared && shared->deletePending;
}

}  // namespace platform::fs
