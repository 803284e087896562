// _wfsopen: the C runtime's shared-mode open, returning a real FILE* (a glibc
// cookie stream) over an OpenFile, so the stdio functions work on it and its
// sharing mode meets CreateFileW's. Text mode, the default, writes "\n" as
// CR LF and reads CR LF as "\n". A flush hands all the stream's buffered,
// translated bytes to one write(2), and append mode opens with O_APPEND, so
// lines that several streams append never interleave.
#include "fs/open_file.h"

#include <errhandlingapi.h>
#include <share.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

using platform::fs::OpenFile;

struct StreamMode {
    platform::fs::OpenRequest request;
    bool text = true;
    const char* hostMode = "r";  // readable and writable ends for fopencookie
};

std::optional<StreamMode> ParseMode(std::wstring_view mode) {
    if (mode.empty())
        return std::nullopt;
    StreamMode parsed;
    auto& request = parsed.request;
    switch (mode[0]) {
        case L'r':
            request = {GENERIC_READ, 0, OPEN_EXISTING};
            break;
        case L'w':
            request = {GENERIC_WRITE, 0, CREATE_ALWAYS};
            break;
        case L'a':
            request = {GENERIC_WRITE, 0, OPEN_ALWAYS, true};
            break;
        default:
            return std::nullopt;
    }
    bool plus = false, typeGiven = false;
    for (wchar_t c : mode.substr(1)) {
        if (c == L'+' && !plus) {
            plus = true;
        } else if ((c == L't' || c == L'b') && !typeGiven) {
            typeGiven = true;
            parsed.text = c == L't';
        } else if (c != L'c' && c != L'n' &&
                   c != L'N') {  // commit and inheritance flags: no effect
            return std::nullopt;
        }
    }
    if (plus)
        request.desiredAccess = GENERIC_READ | GENERIC_WRITE;
    parsed.hostMode = plus ? "r+" : (mode[0] == L'r' ? "r" : "w");
    return parsed;
}

std::optional<DWORD> ShareModeOf(int shflag) {
    switch (shflag) {
        case _SH_DENYNO:
            return FILE_SHARE_READ | FILE_SHARE_WRITE;
        case _SH_DENYWR:
            return FILE_SHARE_READ;
        case _SH_DENYRD:
            return FILE_SHARE_WRITE;
        case _SH_DENYRW:
            return 0;
        default:
            return std::nullopt;
    }
}

// The errno the C runtime gives for a failed open.
int ErrnoFromWin32(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_FILENAME_EXCED_RANGE:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        default:
            return EINVAL;
    }
}

class CrtStream {
  public:
    CrtStream(std::shared_ptr<OpenFile> file, bool text) : m_file(std::move(file)), m_text(text) {}

    ssize_t Read(char* buffer, size_t size) {
        if (size == 0)
            return 0;
        if (!m_text)
            return ReadRaw(buffer, size);
        ssize_t produced = 0;
        while (produced == 0) {
            ssize_t got = ReadRaw(buffer, size);
            if (got <= 0)
                return got;
            produced = CollapseLineEnds(buffer, static_cast<size_t>(got));
        }
        return produced;
    }

    ssize_t Write(const char* data, size_t size) {
        std::string_view bytes(data, size);
        std::string translated;
        if (m_text) {
            translated.reserve(size + size / 8);
            for (char c : bytes) {
                if (c == '\n')
                    translated += '\r';
                translated += c;
            }
            bytes = translated;
        }
        return WriteAll(bytes) ? static_cast<ssize_t>(size) : 0;
    }

    int Seek(off64_t* offset, int whence) {
        m_carried.reset();
        off64_t position = ::lseek64(m_file->fd(), *offset, whence);
        if (position < 0)
            return -1;
        *offset = position;
        return 0;
    }

  private:
    ssize_t ReadRaw(char* buffer, size_t size) {
        size_t filled = 0;
        if (m_carried) {
            buffer[filled++] = *m_carried;
            m_carried.reset();
        }
        ssize_t got = ::read(m_file->fd(), buffer + filled, size - filled);
        if (got < 0)
            return filled ? static_cast<ssize_t>(filled) : -1;
        return static_cast<ssize_t>(filled) + got;
    }

    // Turns each CR LF into LF in place; a CR at the end waits for the next byte.
    ssize_t CollapseLineEnds(char* buffer, size_t length) {
        size_t out = 0;
        for (size_t i = 0; i < length; ++i) {
            if (buffer[i] == '\r') {
                if (i + 1 == length) {
                    char next = 0;
                    if (::read(m_file->fd(), &next, 1) == 1) {
                        if (next == '\n') {
                            buffer[out++] = '\n';
                            continue;
                        }
                        m_carried = next;
                    }
                } else if (buffer[i + 1] == '\n') {
                    continue;
                }
            }
            buffer[out++] = buffer[i];
        }
        return static_cast<ssize_t>(out);
    }

    bool WriteAll(std::string_view bytes) {
        while (!bytes.empty()) {
            ssize_t written = ::write(m_file->fd(), bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            bytes.remove_prefix(static_cast<size_t>(written));
        }
        return true;
    }

    std::shared_ptr<OpenFile> m_file;
    bool m_text;
    std::optional<char> m_carried;  // a byte read ahead after a lone CR
};

ssize_t CookieRead(void* cookie, char* buffer, size_t size) {
    return static_cast<CrtStream*>(cookie)->Read(buffer, size);
}

ssize_t CookieWrite(void* cookie, const char* data, size_t size) {
    return static_cast<CrtStream*>(cookie)->Write(data, size);
}

int CookieSeek(void* cookie, off64_t* offset, int whence) {
    return static_cast<CrtStream*>(cookie)->Seek(offset, whence);
}

int CookieClose(void* cookie) {
    delete static_cast<CrtStream*>(cookie);  // the stream's owner is glibc's FILE
    return 0;
}

FILE* FailOpen(int error) {
    errno = error;
    return nullptr;
}

}  // namespace

extern "C" FILE* _wfsopen(const wchar_t* filename, const wchar_t* mode, int shflag) {
    auto parsed = mode ? ParseMode(mode) : std::nullopt;
    auto share = ShareModeOf(shflag);
    if (!filename || !parsed || !share)
        return FailOpen(EINVAL);
    parsed->request.shareMode = *share;
    platform::fs::WindowsPath path;
    if (!platform::fs::ParseCallerPath(filename, path))
        return FailOpen(ErrnoFromWin32(GetLastError()));
    auto opened = platform::fs::OpenFileAt(path, parsed->request);
    if (!opened.file) {
        SetLastError(opened.error);
        return FailOpen(ErrnoFromWin32(opened.error));
    }
    auto stream = std::make_unique<CrtStream>(std::move(opened.file), parsed->text);
    cookie_io_functions_t functions{CookieRead, CookieWrite, CookieSeek, CookieClose};
    FILE* file = ::fopencookie(stream.get(), parsed->hostMode, functions);
    if (!file)
        return FailOpen(ENOMEM);
    stream.release();  // now closed by fclose
    return file;
}
