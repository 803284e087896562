#include "filter/mime.h"

#include "filter/tokenizer.h"

namespace bv::filter::mime {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (IsBlank(text.front()) || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

// One line without its CR LF or LF; `pos` moves past the line end.
std::string_view NextLine(std::string_view text, size_t& pos) {
    size_t end = text.find('\n', pos);
    size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos)
        end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    pos = next;
    return line;
}

}  // namespace

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view Entity::Find(std::string_view name) const {
    for (const Header& header : headers)
        if (header.name == name)
            return header.value;
    return {};
}

Entity ParseEntity(std::string_view text) {
    Entity entity;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lineStart = pos;
        std::string_view line = NextLine(text, pos);
        if (line.empty()) {
            entity.body = text.substr(pos);
            return entity;
        }
        if (IsBlank(line.front())) {
            // A folded continuation of the header before.
            if (!entity.headers.empty()) {
                entity.headers.back().value += ' ';
                entity.headers.back().value += Trim(line);
            }
            continue;
        }
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            // Not a header: a message without a header block starts its body here.
            if (entity.headers.empty()) {
                entity.body = text.substr(lineStart);
                return entity;
            }
            continue;
        }
        entity.headers.push_back(
            {AsciiLower(Trim(line.substr(0, colon))), std::string(Trim(line.substr(colon + 1)))});
    }
    return entity;
}

std::string MediaType(std::string_view contentType) {
    return AsciiLower(Trim(contentType.substr(0, contentType.find(';'))));
}

std::string Parameter(std::string_view headerValue, std::string_view name) {
    size_t pos = headerValue.find(';');
    while (pos != std::string_view::npos) {
        std::string_view rest = headerValue.substr(pos + 1);
        while (!rest.empty() && IsBlank(rest.front()))
            rest.remove_prefix(1);
        size_t eq = rest.find('=');
        if (eq != std::string_view::npos && AsciiLower(Trim(rest.substr(0, eq))) == name) {
            std::string_view value = Trim(rest.substr(eq + 1));
            if (!value.empty() && value.front() == '"') {
                size_t close = value.find('"', 1);
                return std::string(value.substr(
                    1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            }
            return std::string(Trim(value.substr(0, value.find(';'))));
        }
        size_t next = headerValue.find(';', pos + 1);
        pos = next;
    }
    return {};
}

std::vector<std::string_view> SplitMultipart(std::string_view body, std::string_view boundary) {
    std::vector<std::string_view> parts;
    if (boundary.empty())
        return parts;
    const std::string delimiter = "--" + std::string(boundary);
    size_t pos = 0;
    size_t partStart = std::string_view::npos;
    while (pos < body.size()) {
        size_t lineStart = pos;
        std::string_view line = NextLine(body, pos);
        if (line.substr(0, delimiter.size()) != delimiter)
            continue;
        std::string_view after = Trim(line.substr(delimiter.size()));
        if (!after.empty() && after != "--")
            continue;  // a longer boundary that merely starts like ours
        if (partStart != std::string_view::npos) {
            // The line break before a delimiter belongs to the delimiter.
            size_t partEnd = lineStart;
            if (partEnd > partStart && body[partEnd - 1] == '\n')
                --partEnd;
            if (partEnd > partStart && body[partEnd - 1] == '\r')
                --partEnd;
            parts.push_back(body.substr(partStart, partEnd - partStart));
        }
        if (after == "--")
            return parts;
        partStart = pos;
    }
    // An unclosed last part still counts.
    if (partStart != std::string_view::npos && partStart < body.size())
        parts.push_back(body.substr(partStart));
    return parts;
}

std::string DecodeEncodedWords(std::string_view value) {
    std::string out;
    size_t pos = 0;
    while (pos < value.size()) {
        size_t start = value.find("=?", pos);
        if (start == std::string_view::npos)
            break;
        // =?charset?E?text?=
        size_t q1 = value.find('?', start + 2);
        size_t q2 = q1 == std::string_view::npos ? q1 : value.find('?', q1 + 1);
        size_t end = q2 == std::string_view::npos ? q2 : value.find("?=", q2 + 1);
        if (end == std::string_view::npos || q2 != q1 + 2) {
            out += value.substr(pos, start + 2 - pos);
            pos = start + 2;
            continue;
        }
        out += value.substr(pos, start - pos);
        char encoding = value[q1 + 1];
        std::string_view text = value.substr(q2 + 1, end - q2 - 1);
        if (encoding == 'B' || encoding == 'b') {
            out += DecodeBase64(text);
        } else if (encoding == 'Q' || encoding == 'q') {
            std::string underscored(text);
            for (char& c : underscored)
                if (c == '_')
                    c = ' ';
            out += DecodeQuotedPrintable(underscored);
        } else {
            out += value.substr(start, end + 2 - start);
        }
        pos = end + 2;
    }
    out += value.substr(std::min(pos, value.size()));
    return out;
}

}  // namespace bv::filter::mime
