// Wide output on C runtime streams as Windows' runtime does it: a stream has
// no orientation, and wide text goes out converted by the C locale, in which
// the characters U+0000..U+00FF are single bytes and any other fails with
// EILSEQ. Streams that glibc has already made wide keep glibc's own functions.
#include <share.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

// The real functions, not the redirections of share.h.
#undef fwprintf
#undef vfwprintf
#undef fputws
#undef fputwc

namespace {

bool IsWideStream(FILE* stream) {
    return ::fwide(stream, 0) > 0;
}

// Writes the text as C-locale bytes; the count written, or -1 on failure.
int WriteConverted(std::wstring_view text, FILE* stream) {
    std::string bytes;
    bytes.reserve(text.size());
    for (wchar_t c : text) {
        if (static_cast<unsigned long>(c) > 0xFF) {
            errno = EILSEQ;
            return -1;
        }
        bytes += static_cast<char>(c);
    }
    if (::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size())
        return -1;
    return static_cast<int>(text.size());
}

// The formatted text, or false when the format cannot be applied.
bool Format(const wchar_t* format, va_list args, std::wstring& text) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list attempt;
        va_copy(attempt, args);
        int length = ::vswprintf(buffer.data(), buffer.size(), format, attempt);
        va_end(attempt);
        if (length >= 0) {
            text.assign(buffer.data(), static_cast<size_t>(length));
            return true;
        }
        if (buffer.size() >= (size_t{1} << 24))
            return false;  // not a question of room
        buffer.resize(buffer.size() * 4);
    }
}

}  // namespace

extern "C" int platform_crt_vfwprintf(FILE* stream, const wchar_t* format, va_list args) {
    if (IsWideStream(stream))
        return ::vfwprintf(stream, format, args);
    std::wstring text;
    if (!Format(format, args, text))
        return -1;
    return WriteConverted(text, stream);
}

extern "C" int platform_crt_fwprintf(FILE* stream, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int written = platform_crt_vfwprintf(stream, format, args);
    va_end(args);
    return written;
}

extern "C" int platform_crt_fputws(const wchar_t* text, FILE* stream) {
    if (IsWideStream(stream))
        return ::fputws(text, stream);
    return WriteConverted(text, stream) < 0 ? WEOF : 0;
}

extern "C" wint_t platform_crt_fputwc(wchar_t c, FILE* stream) {
    if (IsWideStream(stream))
        return ::fputwc(c, stream);
    return WriteConverted(std::wstring_view(&c, 1), stream) < 0 ? WEOF : static_cast<wint_t>(c);
}
