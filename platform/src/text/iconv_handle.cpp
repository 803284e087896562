#include "text/iconv_handle.h"

#include <array>
#include <bit>
#include <cerrno>

namespace platform::text {

const char* Utf32Name() {
    return std::endian::native == std::endian::little ? "UTF-32LE" : "UTF-32BE";
}

IconvHandle::IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}

IconvHandle::~IconvHandle() {
    if (valid()) {
        iconv_close(m_cd);
    }
}

IconvHandle::Status IconvHandle::Convert(std::string_view& in, std::string& out) {
    if (!valid()) {
        return in.empty() ? Status::Done : Status::Invalid;
    }
    std::array<char, 256> chunk;
    while (!in.empty()) {
        char* inPtr = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        char* outPtr = chunk.data();
        size_t outLeft = chunk.size();
        size_t rc = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
        int error = errno;
        out.append(chunk.data(), chunk.size() - outLeft);
        in.remove_prefix(in.size() - inLeft);
        if (rc != static_cast<size_t>(-1)) {
            continue;
        }
        if (error == EINVAL) {
            return Status::Incomplete;
        }
        // E2BIG only says the chunk is full; EILSEQ, or any other failure,
        // stops at the sequence that could not be converted.
        if (error != E2BIG) {
            return Status::Invalid;
        }
    }
    return Status::Done;
}

void IconvHandle::Flush(std::string& out) {
    if (!valid()) {
        return;
    }
    std::array<char, 32> chunk;
    char* outPtr = chunk.data();
    size_t outLeft = chunk.size();
    iconv(m_cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(chunk.data(), chunk.size() - outLeft);
}

}  // namespace platform::text
