#include "filter/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace bv::filter {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.Release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void ThrowSystemError(const std::filesystem::path& path, std::string_view action) {
    throw StoreError(path.string() + ": cannot " + std::string(action) + ": " +
                     std::strerror(errno));
}

UniqueFd OpenFile(const std::filesystem::path& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0)
        ThrowSystemError(path, "open");
    return UniqueFd(fd);
}

void WriteAll(int fd, std::string_view data, const std::filesystem::path& path) {
    while (!data.empty()) {
        ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            ThrowSystemError(path, "write");
        }
        data.remove_prefix(static_cast<size_t>(written));
    }
}

void SyncFile(int fd, const std::filesystem::path& path) {
    if (::fsync(fd) != 0)
        ThrowSystemError(path, "sync");
}

void SyncDirectory(const std::filesystem::path& folder) {
    UniqueFd fd = OpenFile(folder, O_RDONLY | O_DIRECTORY);
    SyncFile(fd.Get(), folder);
}

namespace {

std::string ReadAll(const std::filesystem::path& path, bool missingIsEmpty) {
    int raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (raw < 0) {
        if (errno == ENOENT && missingIsEmpty)
            return {};
        ThrowSystemError(path, "open");
    }
    UniqueFd fd(raw);
    std::string data;
    std::array<char, 1 << 16> buffer;
    for (;;) {
        ssize_t got = ::read(fd.Get(), buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ThrowSystemError(path, "read");
        }
        if (got == 0)
            return data;
        data.append(buffer.data(), static_cast<size_t>(got));
    }
}

}  // namespace

std::string ReadWholeFile(const std::filesystem::path& path) {
    return ReadAll(path, true);
}

std::string ReadMessageFile(const std::filesystem::path& path) {
    return ReadAll(path, false);
}

void ReplaceFileAtomically(const std::filesystem::path& path, std::string_view data) {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    {
        UniqueFd fd = OpenFile(temporary, O_WRONLY | O_CREAT | O_TRUNC);
        WriteAll(fd.Get(), data, temporary);
        SyncFile(fd.Get(), temporary);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        ThrowSystemError(path, "replace");
    SyncDirectory(path.parent_path());
}

uint32_t Crc32(std::string_view data) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (char byte : data)
        crc = table[(crc ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

}  // namespace bv::filter
