#include "registry/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform::registry {
namespace {

// Closes a POSIX file descriptor when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now, reporting the result (a failed close can mean lost data).
    bool Close() {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

  private:
    int m_fd;
};

std::string Failure(const char* what, const std::filesystem::path& path) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view contents) {
    while (!contents.empty()) {
        ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        contents.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

std::string Write(const std::filesystem::path& path, std::string_view contents, bool sync) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (file.get() < 0)
        return Failure("cannot create", path);
    if (!WriteAll(file.get(), contents))
        return Failure("cannot write", path);
    if (sync && ::fsync(file.get()) != 0)
        return Failure("cannot flush", path);
    if (!file.Close())
        return Failure("cannot close", path);
    return {};
}

}  // namespace

std::filesystem::path TemporaryFileFor(const std::filesystem::path& target) {
    // The process id keeps two processes sharing a root off each other's file.
    return target.string() + "." + std::to_string(::getpid()) + ".tmp";
}

std::string ReplaceFileAtomically(const std::filesystem::path& target, std::string_view contents,
                                  Durability durability) {
    const bool sync = durability == Durability::PowerLoss;
    std::error_code error;
    std::filesystem::create_directories(target.parent_path(), error);
    if (error)
        return "cannot create " + target.parent_path().string() + ": " + error.message();
    std::filesystem::path temporary = TemporaryFileFor(target);
    std::string failure = Write(temporary, contents, sync);
    if (failure.empty() && ::rename(temporary.c_str(), target.c_str()) != 0)
        failure = Failure("cannot rename into", target);
    if (!failure.empty()) {
        ::unlink(temporary.c_str());
        return failure;
    }
    if (!sync)
        return {};
    // The rename itself is durable only once the folder is flushed.
    FileDescriptor folder(::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        ::fsync(folder.get());
    return {};
}

}  // namespace platform::registry
