// CreateFileW and the functions on file handles. A file handle names an
// OpenFile in the process's handle table; each handle has its own position.
#include "fs/open_file.h"

#include <errhandlingapi.h>
#include <fileapi.h>
#include <winerror.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

using platform::fs::OpenFile;

// The file a handle names, or null with ERROR_INVALID_HANDLE set.
std::shared_ptr<OpenFile> FileOf(HANDLE handle) {
    auto file = platform::LookupHandleAs<OpenFile>(handle);
    if (!file)
        SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// The file to read or write through, or null with the error set: the handle
// must name a file opened for the access, and positioned I/O is not served.
std::shared_ptr<OpenFile> FileForTransfer(HANDLE handle, LPOVERLAPPED overlapped,
                                          bool (OpenFile::*allowed)() const) {
    auto file = FileOf(handle);
    if (!file)
        return nullptr;
    if (overlapped || !((*file).*allowed)()) {
        SetLastError(overlapped ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return file;
}

bool SizeOf(const OpenFile& file, ULONGLONG& size) {
    struct stat info {};
    if (::fstat(file.fd(), &info) != 0)
        return false;
    size = static_cast<ULONGLONG>(info.st_size);
    return true;
}

// Reads or writes until all is done, the end of the file, or an error.
template <class Transfer>
bool TransferAll(Transfer transfer, DWORD count, DWORD& done) {
    done = 0;
    while (done < count) {
        ssize_t step = transfer(done, count - done);
        if (step < 0 && errno == EINTR)
            continue;
        if (step < 0)
            return false;
        if (step == 0)
            break;
        done += static_cast<DWORD>(step);
    }
    return true;
}

}  // namespace

extern "C" HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD,
                                     HANDLE) {
    platform::fs::WindowsPath path;
    if (!platform::fs::ParseCallerPath(lpFileName, path))
        return INVALID_HANDLE_VALUE;
    platform::fs::OpenRequest request{dwDesiredAccess, dwShareMode, dwCreationDisposition};
    auto opened = platform::fs::OpenFileAt(path, request);
    if (!opened.file) {
        SetLastError(opened.error);
        return INVALID_HANDLE_VALUE;
    }
    bool reportsExisting =
        dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
    SetLastError(opened.existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return platform::InsertHandle(std::move(opened.file));
}

extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    auto file = FileForTransfer(hFile, lpOverlapped, &OpenFile::CanRead);
    if (!file)
        return FALSE;
    auto* bytes = static_cast<char*>(lpBuffer);
    DWORD done = 0;
    bool ok = TransferAll(
        [&](DWORD offset, DWORD left) { return ::read(file->fd(), bytes + offset, left); },
        nNumberOfBytesToRead, done);
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = done;
    return ok ? TRUE : Fail(ERROR_READ_FAULT);
}

extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    auto file = FileForTransfer(hFile, lpOverlapped, &OpenFile::CanWrite);
    if (!file)
        return FALSE;
    const auto* bytes = static_cast<const char*>(lpBuffer);
    DWORD done = 0;
    bool ok = TransferAll(
        [&](DWORD offset, DWORD left) { return ::write(file->fd(), bytes + offset, left); },
        nNumberOfBytesToWrite, done);
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = done;
    return ok ? TRUE : Fail(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
}

extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    auto file = FileOf(hFile);
    ULONGLONG size = 0;
    if (!file || !SizeOf(*file, size)) {
        if (file)
            SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    if (lpFileSizeHigh)
        *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    DWORD low = static_cast<DWORD>(size);
    // A size whose low part looks like the failure value is told apart by the error.
    if (low == INVALID_FILE_SIZE)
        SetLastError(NO_ERROR);
    return low;
}

extern "C" BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
    auto file = FileOf(hFile);
    if (!file)
        return FALSE;
    ULONGLONG size = 0;
    if (!SizeOf(*file, size))
        return Fail(ERROR_INVALID_HANDLE);
    lpFileSize->QuadPart = static_cast<LONGLONG>(size);
    return TRUE;
}

extern "C" DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove,
                                       PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    auto file = FileOf(hFile);
    if (!file)
        return INVALID_SET_FILE_POINTER;
    // Without the high part the distance is a signed 32-bit value.
    LONGLONG distance =
        lpDistanceToMoveHigh
            ? static_cast<LONGLONG>((static_cast<ULONGLONG>(*lpDistanceToMoveHigh) << 32) |
                                    static_cast<DWORD>(lDistanceToMove))
            : lDistanceToMove;
    LONGLONG base = 0;
    ULONGLONG size = 0;
    switch (dwMoveMethod) {
        case FILE_BEGIN:
            break;
        case FILE_CURRENT:
            base = ::lseek(file->fd(), 0, SEEK_CUR);
            break;
        case FILE_END:
            SizeOf(*file, size);
            base = static_cast<LONGLONG>(size);
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_SET_FILE_POINTER;
    }
    LONGLONG position = base + distance;
    if (position < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (!lpDistanceToMoveHigh && position > 0xFFFFFFFELL) {
        SetLastError(ERROR_INVALID_PARAMETER);  // the new position could not be returned
        return INVALID_SET_FILE_POINTER;
    }
    ::lseek(file->fd(), position, SEEK_SET);
    if (lpDistanceToMoveHigh)
        *lpDistanceToMoveHigh = static_cast<LONG>(position >> 32);
    DWORD low = static_cast<DWORD>(position);
    if (low == INVALID_SET_FILE_POINTER)
        SetLastError(NO_ERROR);
    return low;
}

extern "C" BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
    auto file = FileOf(hFile);
    if (!file)
        return FALSE;
    if (!file->CanWrite())
        return Fail(ERROR_ACCESS_DENIED);
    return ::fsync(file->fd()) == 0 ? TRUE : Fail(ERROR_WRITE_FAULT);
}
