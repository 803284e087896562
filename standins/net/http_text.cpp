#include "net/http_text.h"

#include <charconv>
#include <cctype>

namespace standins::net {
namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Cuts the next line (without CR LF or LF) off the front of `text`; false
// when no complete line is left.
bool TakeLine(std::string_view& text, std::string_view& line) {
    size_t end = text.find('\n');
    if (end == std::string_view::npos)
        return false;
    line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    text.remove_prefix(end + 1);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

std::optional<HttpUrl> ParseHttpUrl(std::string_view url) {
    constexpr std::string_view kScheme = "http://";
    if (url.size() < kScheme.size() || !EqualsIgnoringCase(url.substr(0, kScheme.size()), kScheme))
        return std::nullopt;
    url.remove_prefix(kScheme.size());
    url = url.substr(0, url.find('#'));
    size_t authorityEnd = url.find_first_of("/?");
    std::string_view authority = url.substr(0, authorityEnd);
    HttpUrl parsed;
    if (authorityEnd != std::string_view::npos) {
        std::string_view target = url.substr(authorityEnd);
        parsed.target = (target.front() == '?' ? "/" : "") + std::string(target);
    }
    if (authority.find('@') != std::string_view::npos)
        return std::nullopt;
    size_t colon = authority.rfind(':');
    std::string_view host = authority.substr(0, colon);
    if (colon != std::string_view::npos) {
        std::string_view port = authority.substr(colon + 1);
        unsigned number = 0;
        auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (port.empty() || error != std::errc() || end != port.data() + port.size() ||
            number == 0 || number > 65535)
            return std::nullopt;
        parsed.port = std::string(port);
    }
    if (host.empty() || host.find_first_of(" \t\r\n") != std::string_view::npos)
        return std::nullopt;
    parsed.host = std::string(host);
    return parsed;
}

std::optional<std::string> HttpHead::Field(std::string_view name) const {
    for (const auto& [fieldName, value] : fields) {
        if (EqualsIgnoringCase(fieldName, name))
            return value;
    }
    return std::nullopt;
}

size_t HeadEnd(std::string_view data) {
    for (size_t lineStart = 0;;) {
        size_t end = data.find('\n', lineStart);
        if (end == std::string_view::npos)
            return std::string_view::npos;
        size_t length = end - lineStart;
        if (length == 0 || (length == 1 && data[lineStart] == '\r'))
            return end + 1;
        lineStart = end + 1;
    }
}

HttpHead ParseHead(std::string_view head) {
    HttpHead parsed;
    std::string_view line;
    if (!TakeLine(head, line))
        return parsed;
    parsed.startLine = std::string(line);
    while (TakeLine(head, line) && !line.empty()) {
        if ((line.front() == ' ' || line.front() == '\t') && !parsed.fields.empty()) {
            parsed.fields.back().second += ' ';
            parsed.fields.back().second += Trim(line);
            continue;
        }
        size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        parsed.fields.emplace_back(std::string(Trim(line.substr(0, colon))),
                                   std::string(Trim(line.substr(colon + 1))));
    }
    return parsed;
}

Chunked DecodeChunked(std::string_view raw, std::string& body) {
    body.clear();
    for (;;) {
        std::string_view sizeLine;
        if (!TakeLine(raw, sizeLine))
            return Chunked::Incomplete;
        sizeLine = Trim(sizeLine.substr(0, sizeLine.find(';')));  // extensions are ignored
        size_t size = 0;
        auto [end, error] =
            std::from_chars(sizeLine.data(), sizeLine.data() + sizeLine.size(), size, 16);
        if (sizeLine.empty() || error != std::errc() || end != sizeLine.data() + sizeLine.size())
            return Chunked::Malformed;
        if (size == 0)
            break;
        if (raw.size() < size)
            return Chunked::Incomplete;
        body.append(raw.substr(0, size));
        raw.remove_prefix(size);
        std::string_view rest;
        if (!TakeLine(raw, rest))
            return Chunked::Incomplete;
        if (!rest.empty())
            return Chunked::Malformed;
    }
    // Trailer fields up to the empty line.
    for (std::string_view line;;) {
        if (!TakeLine(raw, line))
            return Chunked::Incomplete;
        if (line.empty())
            return Chunked::Complete;
    }
}

std::string EncodeChunked(std::string_view body, size_t chunkSize) {
    std::string encoded;
    while (!body.empty()) {
        std::string_view chunk = body.substr(0, chunkSize);
        char size[20];
        char* end = std::to_chars(size, size + sizeof size, chunk.size(), 16).ptr;
        encoded.append(size, end);
        encoded += "\r\n";
        encoded += chunk;
        encoded += "\r\n";
        body.remove_prefix(chunk.size());
    }
    return encoded + "0\r\n\r\n";
}

std::string PercentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0xF];
        }
    }
    return encoded;
}

std::string PercentDecode(std::string_view text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            decoded += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
                   HexDigit(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

std::optional<std::string> QueryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        size_t end = query.find('&');
        std::string_view pair = query.substr(0, end);
        query.remove_prefix(end == std::string_view::npos ? query.size() : end + 1);
        size_t equals = pair.find('=');
        if (PercentDecode(pair.substr(0, equals)) == name)
            return equals == std::string_view::npos ? std::string()
                                                    : PercentDecode(pair.substr(equals + 1));
    }
    return std::nullopt;
}

}  // namespace standins::net
