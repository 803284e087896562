// What a peer sends over HTTP: any bytes. The head and chunked-body readers
// and the URL and query parsers must neither crash nor hang, and the encoders
// must round-trip what they encode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/http_text.h"

using namespace standins::net;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);

    size_t end = HeadEnd(input);
    if (end != std::string_view::npos) {
        if (end > input.size())
            std::abort();
        HttpHead head = ParseHead(input.substr(0, end));
        (void)head.Field("Content-Length");
        std::string body;
        (void)DecodeChunked(input.substr(end), body);
    }
    (void)ParseHttpUrl(input);
    (void)QueryValue(input, "id");

    if (PercentDecode(PercentEncode(input)) != input)
        std::abort();
    std::string decoded;
    size_t chunkSize = size % 7 + 1;
    if (DecodeChunked(EncodeChunked(input, chunkSize), decoded) != Chunked::Complete ||
        decoded != input)
        std::abort();
    return 0;
}
