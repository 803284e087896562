// The properties of a delivered message: class, addresses, headers, bodies.
#include "rfc822.h"
#include "text.h"

#include <mailstore/model.h>

#include <algorithm>
#include <cctype>

namespace mailstore::rfc822 {

namespace {

using text::Lower;
using text::Trim;

// Headers that tests and scenarios use to give what plain Internet mail
// cannot carry: an explicit message class, Exchange ("EX") addresses, and a
// message that came without transport headers.
constexpr std::string_view kClassField = "X-Message-Class";
constexpr std::string_view kExSenderField = "X-EX-Sender";
constexpr std::string_view kExReceiverField = "X-EX-Receiver";
constexpr std::string_view kTransportHeadersField = "X-Transport-Headers";

constexpr unsigned kUsAscii = 20127;

std::string Field(const Headers& fields, std::string_view name) {
    const std::string* value = FindField(fields, name);
    return value ? std::string(Trim(*value)) : std::string();
}

// One MIME entity: its fields and its (still encoded) body.
struct Part {
    Headers fields;
    std::string_view body;
    ContentType type;
    std::vector<Part> children;
};

// A part's header block, read leniently: a MIME part is not refused.
Part ReadPart(std::string_view entity, int depth);

std::vector<Part> SplitMultipart(std::string_view body, const std::string& boundary, int depth) {
    std::vector<Part> parts;
    if (boundary.empty())
        return parts;
    const std::string delimiter = "--" + boundary;
    std::size_t partStart = std::string_view::npos;
    std::size_t pos = 0;
    while (pos < body.size()) {
        const std::size_t newline = body.find('\n', pos);
        const std::size_t next = newline == std::string_view::npos ? body.size() : newline + 1;
        std::string_view line = body.substr(pos, next - pos);
        while (!line.empty() &&
               (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        if (line.starts_with(delimiter)) {
            if (partStart != std::string_view::npos) {
                // The line end before the delimiter belongs to the delimiter.
                std::size_t end = pos;
                if (end > partStart && body[end - 1] == '\n')
                    --end;
                if (end > partStart && body[end - 1] == '\r')
                    --end;
                parts.push_back(ReadPart(body.substr(partStart, end - partStart), depth + 1));
            }
            if (line.substr(delimiter.size()).starts_with("--"))
                break;
            partStart = next;
        }
        pos = next;
    }
    return parts;
}

Part ReadPart(std::string_view entity, int depth) {
    Part part;
    std::size_t pos = 0;
    while (pos < entity.size()) {
        const std::size_t newline = entity.find('\n', pos);
        const std::size_t next = newline == std::string_view::npos ? entity.size() : newline + 1;
        std::string_view line = entity.substr(pos, next - pos);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        pos = next;
        if (line.empty())
            break;
        if ((line.front() == ' ' || line.front() == '\t') && !part.fields.empty()) {
            part.fields.back().second += std::string(line);
        } else if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
            part.fields.emplace_back(std::string(line.substr(0, colon)),
                                     std::string(line.substr(colon + 1)));
        }
    }
    part.body = entity.substr(std::min(pos, entity.size()));
    const std::string* type = FindField(part.fields, "Content-Type");
    if (type)
        part.type = ParseContentType(*type);
    // Nesting deeper than any real mail is read as an opaque part.
    if (part.type.mediaType.starts_with("multipart/") && depth < 32) {
        part.children = SplitMultipart(part.body, part.type.Parameter("boundary"), depth);
    }
    return part;
}

std::string DecodedBody(const Part& part) {
    const std::string encoding = Lower(Field(part.fields, "Content-Transfer-Encoding"));
    if (encoding == "base64")
        return DecodeBase64(part.body);
    if (encoding == "quoted-printable")
        return DecodeQuotedPrintable(part.body);
    return std::string(part.body);
}

bool IsAttachment(const Part& part) {
    return Lower(Field(part.fields, "Content-Disposition")).starts_with("attachment");
}

// Depth first, the first plain and the first HTML text that is not an attachment.
void FindBodies(const Part& part, const Part*& plain, const Part*& html) {
    if (!part.children.empty()) {
        for (const Part& child : part.children)
            FindBodies(child, plain, html);
        return;
    }
    if (IsAttachment(part))
        return;
    if (part.type.mediaType == "text/plain" && !plain)
        plain = &part;
    if (part.type.mediaType == "text/html" && !html)
        html = &part;
}

const Part* FindType(const Part& part, std::string_view mediaType) {
    if (part.type.mediaType == mediaType)
        return &part;
    for (const Part& child : part.children) {
        if (const Part* found = FindType(child, mediaType))
            return found;
    }
    return nullptr;
}

// The iCalendar METHOD of a calendar part: its parameter, or its METHOD line.
std::string CalendarMethod(const Part& calendar) {
    std::string method = calendar.type.Parameter("method");
    if (method.empty()) {
        // A leading line end lets the first line match like the others.
        const std::string body = "\n" + DecodedBody(calendar);
        const std::size_t at = Lower(body).find("\nmethod:");
        if (at != std::string::npos) {
            const std::size_t start = at + 8;
            method = body.substr(start, body.find_first_of("\r\n", start) - start);
        }
    }
    std::string upper = std::string(Trim(method));
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    return upper;
}

std::string MessageClassOf(const Headers& fields, const Part& top) {
    if (std::string explicitClass = Field(fields, kClassField); !explicitClass.empty()) {
        return explicitClass;
    }
    const std::string& type = top.type.mediaType;
    if (type == "multipart/report") {
        const std::string report = Lower(top.type.Parameter("report-type"));
        return report == "disposition-notification" ? "REPORT.IPM.Note.IPNRN"
                                                    : "REPORT.IPM.Note.NDR";
    }
    if (type == "multipart/signed")
        return "IPM.Note.SMIME.MultipartSigned";
    if (type == "application/pkcs7-mime" || type == "application/x-pkcs7-mime") {
        return "IPM.Note.SMIME";
    }
    if (const Part* calendar = FindType(top, "text/calendar")) {
        const std::string method = CalendarMethod(*calendar);
        if (method == "REQUEST")
            return "IPM.Schedule.Meeting.Request";
        if (method == "CANCEL")
            return "IPM.Schedule.Meeting.Canceled";
    }
    return "IPM.Note";
}

// The message's code page: its own charset, or that of its first text part.
unsigned MessageCodePage(const Part& top, const Part* plain, const Part* html) {
    for (const Part* part : {&top, plain, html}) {
        if (!part)
            continue;
        const std::string charset = part->type.Parameter("charset");
        if (charset.empty())
            continue;
        const unsigned codePage = CodePageOfCharset(charset);
        // An unknown charset is read in the ANSI code page of Western Windows.
        return codePage != 0 ? codePage : 1252;
    }
    return kUsAscii;
}

std::wstring BodyText(const Part& part, unsigned messageCodePage) {
    const unsigned own = CodePageOfCharset(part.type.Parameter("charset"));
    return text::ToWide(DecodedBody(part), own != 0 ? own : messageCodePage);
}

std::wstring EscapeHtml(std::wstring_view plain) {
    std::wstring escaped;
    for (wchar_t ch : plain) {
        switch (ch) {
            case L'<':
                escaped += L"&lt;";
                break;
            case L'>':
                escaped += L"&gt;";
                break;
            case L'&':
                escaped += L"&amp;";
                break;
            case L'"':
                escaped += L"&quot;";
                break;
            default:
                escaped += ch;
        }
    }
    return escaped;
}

}  // namespace

std::wstring HtmlFromPlain(std::wstring_view plain) {
    return L"<html>\r\n<head>\r\n</head>\r\n<body>\r\n" + std::wstring(kConvertedMarker) +
           L"\r\n<pre>" + EscapeHtml(plain) + L"</pre>\r\n</body>\r\n</html>\r\n";
}

// A plain rendering of an HTML body: the text between the tags.
std::wstring PlainFromHtml(std::wstring_view html) {
    std::wstring plain;
    bool inTag = false;
    for (wchar_t ch : html) {
        if (ch == L'<')
            inTag = true;
        else if (ch == L'>')
            inTag = false;
        else if (!inTag)
            plain += ch;
    }
    for (const auto& [entity, ch] : {std::pair<std::wstring_view, wchar_t>{L"&lt;", L'<'},
                                     {L"&gt;", L'>'},
                                     {L"&quot;", L'"'},
                                     {L"&nbsp;", L' '},
                                     {L"&amp;", L'&'}}) {
        for (std::size_t at = plain.find(entity); at != std::wstring::npos;
             at = plain.find(entity, at + 1)) {
            plain.replace(at, entity.size(), 1, ch);
        }
    }
    return plain;
}

namespace {

void SetAddress(std::map<PropTag, PropValue>& properties, PropTag nameTag, PropTag typeTag,
                PropTag emailTag, const std::wstring& name, const std::string& type,
                const std::string& address) {
    properties[nameTag] = name;
    properties[typeTag] = type;
    properties[emailTag] = address;
}

}  // namespace

std::map<PropTag, PropValue> ReadProperties(std::string_view message) {
    const HeaderBlock block = ReadHeaderBlock(message);
    const Headers& fields = block.fields;

    Part top;
    top.fields = fields;
    top.body = message.substr(block.bodyOffset);
    if (const std::string* type = FindField(fields, "Content-Type")) {
        top.type = ParseContentType(*type);
    }
    if (top.type.mediaType.starts_with("multipart/")) {
        top.children = SplitMultipart(top.body, top.type.Parameter("boundary"), 0);
    }
    const Part* plainPart = nullptr;
    const Part* htmlPart = nullptr;
    FindBodies(top, plainPart, htmlPart);
    const unsigned codePage = MessageCodePage(top, plainPart, htmlPart);

    std::map<PropTag, PropValue> properties;
    properties[tags::kMessageClass] = MessageClassOf(fields, top);
    properties[tags::kInternetCodePage] = static_cast<std::int32_t>(codePage);
    properties[tags::kMessageSize] = static_cast<std::int32_t>(message.size());
    if (Lower(Field(fields, kTransportHeadersField)) != "none") {
        properties[tags::kTransportHeaders] = block.raw;
    }
    if (const std::string* subject = FindField(fields, "Subject")) {
        properties[tags::kSubject] = DecodeHeaderText(std::string(Trim(*subject)), codePage);
    }
    if (std::string id = Field(fields, "Message-ID"); !id.empty()) {
        properties[tags::kInternetMessageId] = id;
    }
    if (FindField(fields, "Disposition-Notification-To") ||
        FindField(fields, "Return-Receipt-To")) {
        properties[tags::kReadReceiptRequested] = true;
    }

    // The author (From) is whom the mail is sent for; Sender, when given,
    // is who sent it. An "EX" address replaces the Internet one.
    const auto from = ParseAddressList(Field(fields, "From"));
    const auto sender = ParseAddressList(Field(fields, "Sender"));
    const std::string exSender = Field(fields, kExSenderField);
    if (!from.empty() || !exSender.empty()) {
        const Mailbox author = from.empty() ? Mailbox{exSender, exSender} : from.front();
        const Mailbox actual = sender.empty() ? author : sender.front();
        const std::string type = exSender.empty() ? "SMTP" : "EX";
        SetAddress(properties, tags::kSentRepresentingName, tags::kSentRepresentingAddrType,
                   tags::kSentRepresentingEmail, DecodeHeaderText(author.name, codePage), type,
                   exSender.empty() ? author.address : exSender);
        SetAddress(properties, tags::kSenderName, tags::kSenderAddrType, tags::kSenderEmail,
                   DecodeHeaderText(actual.name, codePage), type,
                   exSender.empty() ? actual.address : exSender);
    }
    const auto to = ParseAddressList(Field(fields, "To"));
    const std::string exReceiver = Field(fields, kExReceiverField);
    if (!to.empty() || !exReceiver.empty()) {
        const Mailbox receiver = to.empty() ? Mailbox{exReceiver, exReceiver} : to.front();
        const std::string type = exReceiver.empty() ? "SMTP" : "EX";
        const std::string address = exReceiver.empty() ? receiver.address : exReceiver;
        const std::wstring name = DecodeHeaderText(receiver.name, codePage);
        SetAddress(properties, tags::kReceivedByName, tags::kReceivedByAddrType,
                   tags::kReceivedByEmail, name, type, address);
        SetAddress(properties, tags::kReceivedRepresentingName, tags::kReceivedRepresentingAddrType,
                   tags::kReceivedRepresentingEmail, name, type, address);
    }
    std::wstring displayTo;
    for (const Mailbox& mailbox : to) {
        if (!displayTo.empty())
            displayTo += L"; ";
        displayTo += DecodeHeaderText(mailbox.name, codePage);
    }
    if (!displayTo.empty())
        properties[tags::kDisplayTo] = displayTo;

    // Bodies: the HTML one made from the plain one when the mail has none.
    std::wstring plain = plainPart ? BodyText(*plainPart, codePage) : std::wstring();
    std::wstring html = htmlPart ? BodyText(*htmlPart, codePage) : std::wstring();
    if (!htmlPart && plainPart)
        html = HtmlFromPlain(plain);
    if (!plainPart && htmlPart)
        plain = PlainFromHtml(html);
    if (plainPart || htmlPart) {
        properties[tags::kBody] = plain;
        properties[tags::kBodyHtml] = html;
    }
    return properties;
}

}  // namespace mailstore::rfc822
