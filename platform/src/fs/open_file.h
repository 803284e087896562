// An open file of this process and the sharing rules between open files.
// Every open (CreateFileW, _wfsopen, the one DeleteFileW makes) asks for
// access and grants sharing; a new open is refused with a sharing violation
// when its access is not shared by an earlier open, or when it does not share
// an access an earlier open holds. Opens that ask for no data access take no
// part. A file deleted while open is only marked: it disappears when its last
// open is closed, and until then it cannot be opened again.
#pragma once

#include "core/handle_table.h"
#include "fs/host_location.h"

#include <fileapi.h>

#include <sys/types.h>

#include <compare>
#include <memory>

namespace platform::fs {

class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    int get() const { return m_fd; }
    int release();

  private:
    int m_fd;
};

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    auto operator<=>(const FileId&) const = default;
};

enum AccessBit : unsigned { kReadAccess = 1, kWriteAccess = 2, kDeleteAccess = 4 };

struct OpenRequest {
    DWORD desiredAccess = 0;  // GENERIC_READ, GENERIC_WRITE, ...
    DWORD shareMode = 0;      // FILE_SHARE_*
    DWORD disposition = OPEN_EXISTING;
    bool append = false;  // every write goes to the end of the file
};

class OpenFile : public KernelObject {
  public:
    // Joins the file's sharing counts; only OpenFileAt makes these, holding
    // the sharing table's lock.
    OpenFile(UniqueFd fd, FileId id, unsigned access, DWORD share);
    ~OpenFile() override;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    int fd() const { return m_fd.get(); }
    bool CanRead() const { return m_access & kReadAccess; }
    bool CanWrite() const { return m_access & kWriteAccess; }

  private:
    UniqueFd m_fd;
    FileId m_id;
    unsigned m_access;
    DWORD m_share;
};

struct OpenResult {
    std::shared_ptr<OpenFile> file;
    DWORD error = 0;
    bool existed = false;  // an existing file was opened (or truncated)
};

OpenResult OpenFileAt(const WindowsPath& path, const OpenRequest& request);

// Deletes the file, or marks it for deletion at its last close; 0 or the error.
DWORD DeleteFileAt(const WindowsPath& path);

// True while the file at `hostPath` is deleted but still open.
bool IsDeletePending(const std::filesystem::path& hostPath);

}  // namespace platform::fs
