#include "net/http_client.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "net/http_text.h"
#include "net/socket.h"

namespace standins::net {
namespace {

std::string RequestText(const HttpUrl& url) {
    std::string host = url.host;
    if (url.port != "80")
        host += ":" + url.port;
    return "GET " + url.target + " HTTP/1.1\r\nHost: " + host +
           "\r\nAccept: */*\r\nConnection: close\r\n\r\n";
}

// The code of a status line "HTTP/1.x NNN reason".
std::optional<int> StatusCode(std::string_view line) {
    if (line.substr(0, 7) != "HTTP/1." || line.size() < 12 || line[8] != ' ')
        return std::nullopt;
    int code = 0;
    auto [end, error] = std::from_chars(line.data() + 9, line.data() + 12, code);
    if (error != std::errc() || end != line.data() + 12 || code < 100)
        return std::nullopt;
    return code;
}

// Reads the answer off a connected socket: nothing when it is not whole.
std::optional<HttpResponse> ReadResponse(const Socket& socket, RealClock::time_point deadline) {
    std::string data;
    size_t headEnd = std::string::npos;
    while ((headEnd = HeadEnd(data)) == std::string::npos) {
        if (ReceiveSome(socket, data, deadline) != Received::Data)
            return std::nullopt;
    }
    HttpHead head = ParseHead(std::string_view(data).substr(0, headEnd));
    std::optional<int> status = StatusCode(head.startLine);
    if (!status)
        return std::nullopt;
    HttpResponse response{*status, {}};
    // Answers that never carry a body.
    if (*status < 200 || *status == 204 || *status == 304)
        return response;

    std::string raw = data.substr(headEnd);
    std::optional<std::string> coding = head.Field("Transfer-Encoding");
    if (coding && EqualsIgnoringCase(*coding, "chunked")) {
        for (;;) {
            switch (DecodeChunked(raw, response.body)) {
                case Chunked::Complete:
                    return response;
                case Chunked::Malformed:
                    return std::nullopt;
                case Chunked::Incomplete:
                    if (ReceiveSome(socket, raw, deadline) != Received::Data)
                        return std::nullopt;
            }
        }
    }
    if (std::optional<std::string> lengthText = head.Field("Content-Length")) {
        size_t length = 0;
        auto [end, error] =
            std::from_chars(lengthText->data(), lengthText->data() + lengthText->size(), length);
        if (error != std::errc() || end != lengthText->data() + lengthText->size())
            return std::nullopt;
        while (raw.size() < length) {
            if (ReceiveSome(socket, raw, deadline) != Received::Data)
                return std::nullopt;
        }
        raw.resize(length);
        response.body = std::move(raw);
        return response;
    }
    // Neither: the body runs until the server closes the connection.
    for (;;) {
        switch (ReceiveSome(socket, raw, deadline)) {
            case Received::Data:
                continue;
            case Received::Closed:
                response.body = std::move(raw);
                return response;
            case Received::Failed:
                return std::nullopt;
        }
    }
}

}  // namespace

HttpResponse HttpGet(std::string_view url, const HttpTimeouts& timeouts) {
    std::optional<HttpUrl> parsed = ParseHttpUrl(url);
    if (!parsed)
        return {};
    const auto start = RealClock::now();
    const auto deadline = start + timeouts.whole;
    Socket socket =
        ConnectTcp(parsed->host, parsed->port, std::min(deadline, start + timeouts.connect));
    if (!socket || !SendAll(socket, RequestText(*parsed), deadline))
        return {};
    return ReadResponse(socket, deadline).value_or(HttpResponse{});
}

}  // namespace standins::net
