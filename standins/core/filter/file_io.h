// Durable file operations of the store: every write that returns is on disk,
// and a replaced file is either wholly old or wholly new.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace bv::filter {

// A store that cannot be read or written; the text names the file and why.
class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int Get() const { return m_fd; }
    int Release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

  private:
    int m_fd = -1;
};

// Throws StoreError naming the path and the system's reason.
[[noreturn]] void ThrowSystemError(const std::filesystem::path& path, std::string_view action);

UniqueFd OpenFile(const std::filesystem::path& path, int flags);
void WriteAll(int fd, std::string_view data, const std::filesystem::path& path);
void SyncFile(int fd, const std::filesystem::path& path);
// Makes a rename or a new file in the folder itself durable.
void SyncDirectory(const std::filesystem::path& folder);
// The whole file; an empty string when it does not exist.
std::string ReadWholeFile(const std::filesystem::path& path);
// A message file, whole, for the tools; a missing file is an error too.
std::string ReadMessageFile(const std::filesystem::path& path);
// Writes beside the file, syncs, renames over it and syncs the folder.
void ReplaceFileAtomically(const std::filesystem::path& path, std::string_view data);

uint32_t Crc32(std::string_view data);

}  // namespace bv::filter
