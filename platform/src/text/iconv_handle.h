// An owned iconv conversion descriptor. A descriptor carries shift state, so
// each conversion opens its own and no two threads share one.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace platform::text {

// The iconv name of UTF-32 in the host's byte order, the form of char32_t.
const char* Utf32Name();

class IconvHandle {
  public:
    // An invalid handle (see valid()) when iconv knows neither name.
    IconvHandle(const char* to, const char* from);
    ~IconvHandle();
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    enum class Status { Done, Invalid, Incomplete };

    // Converts as much of `in` as it can, appending to `out` and advancing
    // `in` past what was consumed. Stops at the first invalid or incomplete
    // sequence, which stays at the front of `in`.
    Status Convert(std::string_view& in, std::string& out);

    // Appends the bytes that return the output to its initial shift state.
    void Flush(std::string& out);

  private:
    iconv_t m_cd;
};

// Holds one descriptor each way between a charset and UTF-32 for as long as
// it lives. While it does, glibc keeps the charset's converter module loaded,
// so the descriptors that conversions open and close on any thread do not
// load and unload the module each time.
class IconvModulePin {
  public:
    explicit IconvModulePin(const char* charset)
        : m_toUtf32(Utf32Name(), charset), m_fromUtf32(charset, Utf32Name()) {}

  private:
    IconvHandle m_toUtf32;
    IconvHandle m_fromUtf32;
};

}  // namespace platform::text
