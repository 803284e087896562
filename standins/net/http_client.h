// The core's HTTP/1.1 client: one GET per connection.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace standins::net {

struct HttpTimeouts {
    std::chrono::milliseconds connect{3000};
    std::chrono::milliseconds whole{8000};  // from the start to the last body byte
};

// status 0 with an empty body: no answer (a URL that is not http, a host
// that does not resolve, a refused connection, a time-out, a connection
// closed before the answer was whole, or an answer that is not HTTP).
struct HttpResponse {
    int status = 0;
    std::string body;  // the bytes as they came, chunked coding removed
};

HttpResponse HttpGet(std::string_view url, const HttpTimeouts& timeouts = {});

}  // namespace standins::net
