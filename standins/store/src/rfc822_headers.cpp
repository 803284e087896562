// The header block, header values, addresses and the decoders of MIME.
#include "rfc822.h"
#include "text.h"

#include <mailstore/model.h>
#include <platform/hex_digit.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace mailstore::rfc822 {

namespace {

using text::Lower;
using text::Trim;

// A header line shown in an error, cut short and with its bytes made visible.
std::string Quoted(std::string_view line) {
    std::string shown;
    for (unsigned char ch : line.substr(0, 60)) {
        shown += (ch >= 0x20 && ch < 0x7F) ? static_cast<char>(ch) : '?';
    }
    if (line.size() > 60)
        shown += "...";
    return "\"" + shown + "\"";
}

bool IsFieldNameChar(unsigned char ch) {
    return ch > 0x20 && ch < 0x7F && ch != ':';
}

// "Name: value": a name of printable characters before a colon. What the
// value holds, control bytes included, is the field's own business.
bool IsFieldLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    return colon != std::string_view::npos && colon > 0 &&
           std::all_of(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(colon),
                       [](char ch) { return IsFieldNameChar(static_cast<unsigned char>(ch)); });
}

}  // namespace

// Read as a mail server reads it: the header block ends at the blank line,
// or at the first line that is neither a field nor the fold of one, which
// then starts the body. Only a message that does not start with a field has
// no header block at all.
HeaderBlock ReadHeaderBlock(std::string_view message) {
    if (message.empty())
        throw StoreError("the message is empty");
    HeaderBlock block;
    std::size_t offset = 0;
    while (offset < message.size()) {
        const std::size_t newline = message.find('\n', offset);
        const std::size_t next = newline == std::string_view::npos ? message.size() : newline + 1;
        std::string_view line = message.substr(offset, next - offset);
        std::string_view content = line;
        while (!content.empty() && (content.back() == '\n' || content.back() == '\r')) {
            content.remove_suffix(1);
        }
        const bool first = offset == 0;
        if (content.empty()) {
            if (first)
                throw StoreError("the message has no header block: it starts with a blank line");
            block.bodyOffset = next;
            return block;
        }
        if (content.front() == ' ' || content.front() == '\t') {
            if (first) {
                throw StoreError("the message has no header block: its first line " +
                                 Quoted(content) + " continues no header");
            }
            block.fields.back().second += std::string(content);
        } else if (IsFieldLine(content)) {
            const std::size_t colon = content.find(':');
            block.fields.emplace_back(std::string(content.substr(0, colon)),
                                      std::string(content.substr(colon + 1)));
        } else {
            if (first) {
                throw StoreError("the message has no header block: its first line " +
                                 Quoted(content) + " is not a header field");
            }
            block.bodyOffset = offset;
            return block;
        }
        block.raw.append(line);
        offset = next;
    }
    block.bodyOffset = message.size();  // headers only, no body
    return block;
}

const std::string* FindField(const Headers& fields, std::string_view name) {
    const std::string wanted = Lower(name);
    for (const auto& [fieldName, value] : fields) {
        if (Lower(fieldName) == wanted)
            return &value;
    }
    return nullptr;
}

std::string ContentType::Parameter(const std::string& name) const {
    const auto it = parameters.find(name);
    return it == parameters.end() ? std::string() : it->second;
}

ContentType ParseContentType(std::string_view value) {
    ContentType type;
    const std::size_t semicolon = value.find(';');
    const std::string_view media = Trim(value.substr(0, semicolon));
    if (media.find('/') != std::string_view::npos)
        type.mediaType = Lower(media);
    std::size_t pos = semicolon;
    while (pos != std::string_view::npos && pos < value.size()) {
        ++pos;
        const std::size_t equals = value.find('=', pos);
        if (equals == std::string_view::npos)
            break;
        const std::string name = Lower(Trim(value.substr(pos, equals - pos)));
        std::size_t cursor = equals + 1;
        while (cursor < value.size() && (value[cursor] == ' ' || value[cursor] == '\t'))
            ++cursor;
        std::string parameter;
        if (cursor < value.size() && value[cursor] == '"') {
            ++cursor;
            while (cursor < value.size() && value[cursor] != '"') {
                if (value[cursor] == '\\' && cursor + 1 < value.size())
                    ++cursor;
                parameter += value[cursor++];
            }
            pos = value.find(';', cursor);
        } else {
            const std::size_t end = value.find(';', cursor);
            parameter = std::string(Trim(value.substr(cursor, end - cursor)));
            pos = end;
        }
        type.parameters[name] = parameter;
    }
    return type;
}

std::vector<Mailbox> ParseAddressList(std::string_view value) {
    // Split at commas outside quotes, angle brackets and comments.
    std::vector<std::string_view> pieces;
    bool quoted = false;
    int angle = 0, comment = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char ch = value[i];
        if (ch == '"' && (i == 0 || value[i - 1] != '\\'))
            quoted = !quoted;
        if (quoted)
            continue;
        if (ch == '<')
            ++angle;
        if (ch == '>' && angle > 0)
            --angle;
        if (ch == '(')
            ++comment;
        if (ch == ')' && comment > 0)
            --comment;
        if (ch == ',' && angle == 0 && comment == 0) {
            pieces.push_back(value.substr(start, i - start));
            start = i + 1;
        }
    }
    pieces.push_back(value.substr(start));

    std::vector<Mailbox> mailboxes;
    for (std::string_view piece : pieces) {
        piece = Trim(piece);
        if (piece.empty())
            continue;
        Mailbox mailbox;
        const std::size_t open = piece.rfind('<');
        const std::size_t close = piece.rfind('>');
        if (open != std::string_view::npos && close != std::string_view::npos && close > open) {
            mailbox.address = std::string(Trim(piece.substr(open + 1, close - open - 1)));
            std::string_view name = Trim(piece.substr(0, open));
            if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
                name = name.substr(1, name.size() - 2);
            }
            mailbox.name = std::string(name);
        } else {
            const std::size_t paren = piece.find('(');
            mailbox.address = std::string(Trim(piece.substr(0, paren)));
            if (paren != std::string_view::npos) {
                const std::size_t end = piece.find(')', paren);
                mailbox.name = std::string(Trim(piece.substr(paren + 1, end - paren - 1)));
            }
        }
        if (mailbox.name.empty())
            mailbox.name = mailbox.address;
        mailboxes.push_back(std::move(mailbox));
    }
    return mailboxes;
}

unsigned CodePageOfCharset(std::string_view charset) {
    struct Entry {
        const char* name;
        unsigned codePage;
    };
    static constexpr std::array<Entry, 28> kTable{{
        {"us-ascii", 20127},    {"ascii", 20127},        {"iso-8859-1", 28591},
        {"latin1", 28591},      {"iso-8859-2", 28592},   {"iso-8859-5", 28595},
        {"iso-8859-7", 28597},  {"iso-8859-9", 28599},   {"iso-8859-15", 28605},
        {"windows-1250", 1250}, {"windows-1251", 1251},  {"windows-1252", 1252},
        {"windows-1253", 1253}, {"windows-1254", 1254},  {"windows-1257", 1257},
        {"utf-8", 65001},       {"utf-7", 65000},        {"koi8-r", 20866},
        {"koi8-u", 21866},      {"shift_jis", 932},      {"iso-2022-jp", 50220},
        {"euc-jp", 51932},      {"gb2312", 936},         {"gbk", 936},
        {"big5", 950},          {"ks_c_5601-1987", 949}, {"euc-kr", 51949},
        {"cp1252", 1252},
    }};
    const std::string wanted = Lower(Trim(charset));
    for (const Entry& entry : kTable) {
        if (wanted == entry.name)
            return entry.codePage;
    }
    return 0;
}

std::string DecodeBase64(std::string_view encoded) {
    std::string decoded;
    unsigned buffer = 0;
    int bits = 0;
    for (char ch : encoded) {
        int value;
        if (ch >= 'A' && ch <= 'Z')
            value = ch - 'A';
        else if (ch >= 'a' && ch <= 'z')
            value = ch - 'a' + 26;
        else if (ch >= '0' && ch <= '9')
            value = ch - '0' + 52;
        else if (ch == '+')
            value = 62;
        else if (ch == '/')
            value = 63;
        else if (ch == '=')
            break;
        else
            continue;  // line ends and other noise between the groups
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            decoded.push_back(static_cast<char>((buffer >> bits) & 0xFF));
        }
    }
    return decoded;
}

std::string DecodeQuotedPrintable(std::string_view encoded) {
    const auto hex = [](char ch) { return platform::HexDigitValue(ch); };
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char ch = encoded[i];
        if (ch != '=') {
            decoded.push_back(ch);
            continue;
        }
        // A soft line break joins two lines.
        if (i + 1 < encoded.size() && encoded[i + 1] == '\n') {
            i += 1;
            continue;
        }
        if (i + 2 < encoded.size() && encoded[i + 1] == '\r' && encoded[i + 2] == '\n') {
            i += 2;
            continue;
        }
        if (i + 2 < encoded.size() && hex(encoded[i + 1]) >= 0 && hex(encoded[i + 2]) >= 0) {
            decoded.push_back(static_cast<char>(hex(encoded[i + 1]) * 16 + hex(encoded[i + 2])));
            i += 2;
            continue;
        }
        decoded.push_back(ch);  // a lone "=" stays as it is
    }
    return decoded;
}

std::wstring DecodeHeaderText(std::string_view value, unsigned codePage) {
    std::wstring decoded;
    std::size_t pos = 0;
    bool lastWasEncoded = false;
    while (pos < value.size()) {
        const std::size_t start = value.find("=?", pos);
        std::size_t charsetEnd = std::string_view::npos, encodingEnd = std::string_view::npos,
                    end = std::string_view::npos;
        if (start != std::string_view::npos) {
            charsetEnd = value.find('?', start + 2);
            if (charsetEnd != std::string_view::npos)
                encodingEnd = value.find('?', charsetEnd + 1);
            if (encodingEnd == charsetEnd + 2)
                end = value.find("?=", encodingEnd + 1);
        }
        if (end == std::string_view::npos) {
            decoded += text::ToWide(value.substr(pos), codePage);
            break;
        }
        const std::string_view between = value.substr(pos, start - pos);
        // White space between two encoded words is not part of the text.
        if (!(lastWasEncoded && Trim(between).empty())) {
            decoded += text::ToWide(between, codePage);
        }
        std::string charset(value.substr(start + 2, charsetEnd - start - 2));
        if (const std::size_t star = charset.find('*'); star != std::string::npos) {
            charset.resize(star);  // a language tag
        }
        const char encoding = static_cast<char>(std::toupper(value[charsetEnd + 1]));
        std::string payload(value.substr(encodingEnd + 1, end - encodingEnd - 1));
        std::string bytes;
        if (encoding == 'B') {
            bytes = DecodeBase64(payload);
        } else {
            std::replace(payload.begin(), payload.end(), '_', ' ');
            bytes = DecodeQuotedPrintable(payload);
        }
        const unsigned wordPage = CodePageOfCharset(charset);
        decoded += text::ToWide(bytes, wordPage != 0 ? wordPage : codePage);
        lastWasEncoded = true;
        pos = end + 2;
    }
    return decoded;
}

}  // namespace mailstore::rfc822
