#include "filter/tokenizer.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "filter/mime.h"

namespace bv::filter {
namespace {

constexpr size_t kMinWordLength = 2;
constexpr size_t kMaxWordLength = 40;
// A word made mostly of non-ASCII bytes and longer than this is most often a
// run of a script written without spaces (Chinese, Japanese, Korean phrases):
// it is read as overlapping pieces of kPieceLength bytes, kPieceStep apart,
// two characters of a double-byte charset each. Long words of other scripts
// outside ASCII (Cyrillic, Greek) are read the same way.
constexpr size_t kMaxWholeForeignWord = 8;
constexpr size_t kPieceLength = 4;
constexpr size_t kPieceStep = 2;
// Header names beyond this are made up; their words are skipped.
constexpr size_t kMaxPrefixLength = 60;
constexpr int kMaxNesting = 16;

// 0 to 15, or -1 for a character that is not a hexadecimal digit.
int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A word is letters, digits and bytes of any non-ASCII charset, with a few
// marks inside ("don't", "e-mail", "$100", "v1.2"); marks at its ends drop off.
bool IsWordCore(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c >= 0x80 || c == '$';
}
bool IsWordByte(unsigned char c) {
    return IsWordCore(c) || c == '-' || c == '.' || c == '\'' || c == '_' || c == '!';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, size_t pos, std::string_view lowerPrefix) {
    if (text.size() - pos < lowerPrefix.size())
        return false;
    for (size_t i = 0; i < lowerPrefix.size(); ++i)
        if (Lower(text[pos + i]) != lowerPrefix[i])
            return false;
    return true;
}

class TokenSink {
  public:
    void AddWords(std::string_view text, std::string_view prefix = {}) {
        size_t i = 0;
        while (i < text.size()) {
            while (i < text.size() && !IsWordCore(static_cast<unsigned char>(text[i])))
                ++i;
            size_t start = i;
            while (i < text.size() && IsWordByte(static_cast<unsigned char>(text[i])))
                ++i;
            size_t end = i;
            while (end > start && !IsWordCore(static_cast<unsigned char>(text[end - 1])))
                --end;
            AddWord(text.substr(start, end - start), prefix);
        }
    }

    // Hosts of the URLs in the text, each with its parent domains.
    void AddUrls(std::string_view text) {
        for (size_t i = 0; i < text.size(); ++i) {
            char c = Lower(text[i]);
            size_t hostStart;
            if (c == 'h' && StartsWithNoCase(text, i, "http://"))
                hostStart = i + 7;
            else if (c == 'h' && StartsWithNoCase(text, i, "https://"))
                hostStart = i + 8;
            else if (c == 'w' && StartsWithNoCase(text, i, "www.") &&
                     (i == 0 || !IsWordByte(static_cast<unsigned char>(text[i - 1]))))
                hostStart = i;
            else
                continue;
            size_t end = text.find_first_of("/?#\"'<> \t\r\n\\", hostStart);
            if (end == std::string_view::npos)
                end = text.size();
            AddHost(text.substr(hostStart, end - hostStart));
            i = end > i ? end - 1 : i;
        }
    }

    void AddHost(std::string_view host) {
        if (size_t at = host.rfind('@'); at != std::string_view::npos)
            host.remove_prefix(at + 1);  // user:password@host
        host = host.substr(0, host.find(':'));
        while (!host.empty() && host.back() == '.')
            host.remove_suffix(1);
        if (host.empty() || host.size() > 253)
            return;
        Add("url:" + mime::AsciiLower(host));
        // Parent domains down to two labels: "a.b.example.com" teaches "example.com" too.
        for (size_t dot = host.find('.'); dot != std::string_view::npos; dot = host.find('.')) {
            host.remove_prefix(dot + 1);
            if (host.find('.') == std::string_view::npos)
                break;
            Add("url:" + mime::AsciiLower(host));
        }
    }

    void Add(std::string token) { m_tokens.insert(std::move(token)); }

    std::vector<std::string> Take() {
        std::vector<std::string> out;
        out.reserve(m_tokens.size());
        for (auto it = m_tokens.begin(); it != m_tokens.end();)
            out.push_back(std::move(m_tokens.extract(it++).value()));
        return out;
    }

  private:
    void AddWord(std::string_view word, std::string_view prefix) {
        if (word.size() > kMaxWholeForeignWord && IsMostlyNonAscii(word)) {
            // Whole, such a run would be one token never seen again (or be
            // dropped as too long); its pieces recur from message to message.
            for (size_t i = 0; i + kPieceLength <= word.size(); i += kPieceStep)
                AddToken(word.substr(i, kPieceLength), prefix);
            return;
        }
        AddToken(word, prefix);
    }

    static bool IsMostlyNonAscii(std::string_view word) {
        size_t high = 0;
        for (char c : word)
            high += static_cast<unsigned char>(c) >= 0x80 ? 1 : 0;
        return high * 2 > word.size();
    }

    void AddToken(std::string_view word, std::string_view prefix) {
        if (word.size() < kMinWordLength || word.size() > kMaxWordLength ||
            prefix.size() > kMaxPrefixLength)
            return;
        bool allDigits = true;
        for (char c : word)
            allDigits = allDigits && c >= '0' && c <= '9';
        if (allDigits)
            return;  // counters, dates and sizes teach nothing but noise
        std::string token;
        token.reserve(prefix.size() + 1 + word.size());
        if (!prefix.empty()) {
            token += prefix;
            token += ':';
        }
        for (char c : word)
            token += Lower(c);
        m_tokens.insert(std::move(token));
    }

    std::unordered_set<std::string> m_tokens;
};

// Character references that matter for the words around them.
void AppendEntity(std::string_view entity, std::string& out) {
    if (entity == "amp")
        out += '&';
    else if (entity == "lt")
        out += '<';
    else if (entity == "gt")
        out += '>';
    else if (entity == "quot")
        out += '"';
    else if (!entity.empty() && entity[0] == '#') {
        unsigned long code = 0;
        bool hex = entity.size() > 1 && (entity[1] == 'x' || entity[1] == 'X');
        for (char c : entity.substr(hex ? 2 : 1)) {
            const int digit = HexDigit(c);
            if (digit < 0 || digit >= (hex ? 16 : 10) || code > 0x10FFFF)
                return;
            code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
        }
        // ASCII letters hidden as references ("&#70;REE") become letters again.
        out += code < 0x80 ? static_cast<char>(code) : ' ';
    } else {
        out += ' ';  // &nbsp; and the rest separate words
    }
}

// Tags become tag tokens, the URLs among their attributes URL tokens; the text between
// them, with comments, scripts and styles left out, is read as words.
void AddHtml(std::string_view html, TokenSink& sink) {
    std::string text;
    text.reserve(html.size());
    size_t i = 0;
    while (i < html.size()) {
        char c = html[i];
        if (c == '&') {
            size_t semi = html.find(';', i + 1);
            if (semi != std::string_view::npos && semi - i <= 10) {
                AppendEntity(html.substr(i + 1, semi - i - 1), text);
                i = semi + 1;
                continue;
            }
            text += c;
            ++i;
            continue;
        }
        if (c != '<') {
            text += c;
            ++i;
            continue;
        }
        if (html.compare(i, 4, "<!--") == 0) {
            size_t end = html.find("-->", i + 4);
            i = end == std::string_view::npos ? html.size() : end + 3;
            continue;
        }
        size_t close = html.find('>', i + 1);
        std::string_view tag =
            html.substr(i + 1, (close == std::string_view::npos ? html.size() : close) - i - 1);
        i = close == std::string_view::npos ? html.size() : close + 1;
        text += ' ';
        bool closing = !tag.empty() && tag.front() == '/';
        if (closing)
            tag.remove_prefix(1);
        size_t nameEnd = 0;
        while (nameEnd < tag.size() &&
               (IsWordCore(static_cast<unsigned char>(tag[nameEnd])) || tag[nameEnd] == '-'))
            ++nameEnd;
        std::string name = mime::AsciiLower(tag.substr(0, nameEnd));
        if (name.empty() || closing)
            continue;
        // The tag, and the hosts of any URL among its attributes. Attribute
        // names are left out: they come with their tags and only repeat
        // the tag's evidence, which is what lets a newsletter's layout
        // alone outweigh everything else it says.
        sink.Add("html:" + name);
        sink.AddUrls(tag.substr(nameEnd));
        if (name == "script" || name == "style") {
            size_t end = html.find("</", i);
            while (end != std::string_view::npos && !StartsWithNoCase(html, end + 2, name))
                end = html.find("</", end + 2);
            i = end == std::string_view::npos ? html.size() : end;
        }
    }
    sink.AddWords(text);
    sink.AddUrls(text);
}

std::string DecodeBody(const mime::Entity& entity) {
    std::string encoding = mime::AsciiLower(entity.Find("content-transfer-encoding"));
    if (encoding.find("base64") != std::string::npos)
        return DecodeBase64(entity.body);
    if (encoding.find("quoted-printable") != std::string::npos)
        return DecodeQuotedPrintable(entity.body);
    return std::string(entity.body);
}

// Headers that tell how a message travelled or where it is filed rather than
// what its sender wrote: mailing-list and delivery headers, identifiers,
// dates, the local mail program's flags. Every message passing the same list
// or mailbox carries them, so each becomes a weak clue for whatever that
// route mostly brings, and together they outvote what the message says.
bool IsTraceHeader(std::string_view name) {
    static const std::unordered_set<std::string_view> trace = {
        // mailing lists
        "x-beenthere", "x-mailing-list", "mailing-list", "precedence", "sender", "errors-to",
        "x-loop",
        // delivery
        "delivered-to", "return-path", "delivery-date", "x-originalarrivaltime",
        // identifiers and dates
        "message-id", "references", "in-reply-to", "thread-index", "date", "x-original-date",
        // the recipient's mail program
        "status", "x-status", "x-keywords", "x-uid", "content-length", "lines"};
    return trace.contains(name) || name.starts_with("list-") || name.starts_with("x-mailman");
}

void AddHeader(const mime::Header& header, TokenSink& sink) {
    if (IsTraceHeader(header.name))
        return;
    std::string value = mime::DecodeEncodedWords(header.value);
    // A Received line names the hosts and the software that passed the
    // message on; the time stamp after its ";" is noise.
    if (header.name == "received")
        value.resize(std::min(value.size(), value.rfind(';')));
    sink.AddWords(value, header.name);
    sink.AddUrls(value);
}

// Plain text up to its signature or footer: the first line that is "-- "
// alone or starts with ten underscores, the marks that signatures and
// mailing-list footers begin with. What follows is the same on every message
// of a sender or a list, whatever the message says, so like the route headers
// it only teaches which way mail came.
std::string_view WithoutFooter(std::string_view text) {
    size_t cut = text.size();
    for (std::string_view mark : {"\n-- \n", "\n-- \r\n", "\n__________"})
        cut = std::min(cut, text.find(mark));
    return text.substr(0, cut);
}

void AddEntity(const mime::Entity& entity, TokenSink& sink, int depth) {
    for (const mime::Header& header : entity.headers)
        AddHeader(header, sink);
    std::string_view contentType = entity.Find("content-type");
    std::string type = contentType.empty() ? "text/plain" : mime::MediaType(contentType);
    if (type.starts_with("multipart/")) {
        if (depth >= kMaxNesting)
            return;
        auto parts = mime::SplitMultipart(entity.body, mime::Parameter(contentType, "boundary"));
        for (std::string_view part : parts)
            AddEntity(mime::ParseEntity(part), sink, depth + 1);
        if (!parts.empty())
            return;
        // A broken multipart still has words to read: fall through as text.
        type = "text/plain";
    }
    if (type == "message/rfc822") {
        if (depth >= kMaxNesting)
            return;
        std::string inner = DecodeBody(entity);
        AddEntity(mime::ParseEntity(inner), sink, depth + 1);
        return;
    }
    if (!type.starts_with("text/"))
        return;  // images and attachments: their headers have been read, their bytes are noise
    std::string body = DecodeBody(entity);
    if (type == "text/html") {
        sink.Add(std::string(kHtmlFormToken));
        AddHtml(body, sink);
    } else {
        std::string_view text = WithoutFooter(body);
        sink.AddWords(text);
        sink.AddUrls(text);
    }
}

constexpr std::array<signed char, 256> MakeBase64Table() {
    std::array<signed char, 256> table{};
    for (auto& entry : table)
        entry = -1;
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < alphabet.size(); ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
    return table;
}
constexpr std::array<signed char, 256> kBase64 = MakeBase64Table();

}  // namespace

std::vector<std::string> Tokenize(std::string_view rfc822) {
    TokenSink sink;
    AddEntity(mime::ParseEntity(rfc822), sink, 0);
    return sink.Take();
}

bool IsHtmlForm(const std::vector<std::string>& tokens) {
    return std::find(tokens.begin(), tokens.end(), kHtmlFormToken) != tokens.end();
}

std::string DecodeBase64(std::string_view encoded) {
    std::string out;
    out.reserve(encoded.size() * 3 / 4);
    unsigned bits = 0;
    int count = 0;
    for (char c : encoded) {
        if (c == '=')
            break;
        int value = kBase64[static_cast<unsigned char>(c)];
        if (value < 0)
            continue;  // line breaks and stray bytes
        bits = (bits << 6) | static_cast<unsigned>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

std::string DecodeQuotedPrintable(std::string_view encoded) {
    std::string out;
    out.reserve(encoded.size());
    for (size_t i = 0; i < encoded.size(); ++i) {
        char c = encoded[i];
        if (c != '=') {
            out += c;
            continue;
        }
        // A soft line break: "=" at the end of a line, maybe with blanks before CR LF.
        size_t j = i + 1;
        while (j < encoded.size() && (encoded[j] == ' ' || encoded[j] == '\t'))
            ++j;
        if (j < encoded.size() && (encoded[j] == '\r' || encoded[j] == '\n')) {
            if (encoded[j] == '\r' && j + 1 < encoded.size() && encoded[j + 1] == '\n')
                ++j;
            i = j;
            continue;
        }
        if (i + 2 < encoded.size() && HexDigit(encoded[i + 1]) >= 0 &&
            HexDigit(encoded[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(encoded[i + 1]) * 16 + HexDigit(encoded[i + 2]));
            i += 2;
            continue;
        }
        out += c;  // a lone "=" stays as written
    }
    return out;
}

std::string SenderAddress(std::string_view rfc822) {
    mime::Entity entity = mime::ParseEntity(rfc822);
    std::string_view from = entity.Find("from");
    if (size_t open = from.rfind('<'); open != std::string_view::npos) {
        size_t close = from.find('>', open);
        if (close != std::string_view::npos)
            from = from.substr(open + 1, close - open - 1);
    } else {
        // A bare address, maybe with a comment: take the word with the "@".
        size_t at = from.find('@');
        if (at == std::string_view::npos)
            return {};
        size_t start = from.find_last_of(" \t\"(,", at);
        size_t end = from.find_first_of(" \t\")(,", at);
        start = start == std::string_view::npos ? 0 : start + 1;
        from = from.substr(start, end == std::string_view::npos ? end : end - start);
    }
    while (!from.empty() && from.front() == ' ')
        from.remove_prefix(1);
    while (!from.empty() && from.back() == ' ')
        from.remove_suffix(1);
    return mime::AsciiLower(from);
}

}  // namespace bv::filter
