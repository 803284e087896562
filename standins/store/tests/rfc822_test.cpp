// Reading delivered mail into properties, and refusing what is not mail.
#include "rfc822.h"
#include "text.h"

#include <mailstore/model.h>

#include <gtest/gtest.h>

namespace mailstore {
namespace {

using rfc822::ReadProperties;
using namespace std::string_literals;

std::string Narrow(const std::map<PropTag, PropValue>& properties, PropTag tag) {
    const auto it = properties.find(tag);
    return it == properties.end() ? "<absent>" : std::get<std::string>(it->second);
}

std::wstring Wide(const std::map<PropTag, PropValue>& properties, PropTag tag) {
    const auto it = properties.find(tag);
    return it == properties.end() ? L"<absent>" : std::get<std::wstring>(it->second);
}

std::string ClassOf(const std::string& message) {
    return Narrow(ReadProperties(message), tags::kMessageClass);
}

std::string RefusalOf(const std::string& message) {
    try {
        ReadProperties(message);
    } catch (const StoreError& error) {
        return error.what();
    }
    return "accepted";
}

TEST(Rfc822, RefusesOnlyWhatIsNoMessageAndSaysWhy) {
    EXPECT_EQ(RefusalOf(""), "the message is empty");
    EXPECT_EQ(RefusalOf("\r\nSubject: late\r\n"),
              "the message has no header block: it starts with a blank line");
    EXPECT_EQ(RefusalOf(" folded: first\r\n\r\nbody"),
              "the message has no header block: its first line \" folded: first\" continues no "
              "header");
    EXPECT_EQ(RefusalOf("just some text\r\nSubject: x\r\n\r\n"),
              "the message has no header block: its first line \"just some text\" is not a header "
              "field");
    EXPECT_EQ(RefusalOf("\x7f"
                        "ELF\x02\x01\x01\x00\x00:"s),
              "the message has no header block: its first line \"?ELF?????:\" is not a header "
              "field");
    EXPECT_NE(RefusalOf("Bad Name: x\r\n\r\n").find("is not a header field"), std::string::npos);
    EXPECT_NE(RefusalOf("\x1b[1mSubject: bold\r\n\r\n").find("is not a header field"),
              std::string::npos);
    EXPECT_NE(RefusalOf(": no name\r\n\r\n").find("is not a header field"), std::string::npos);
    // A colon after the blank line is the body's business.
    EXPECT_EQ(RefusalOf("Subject: fine\r\n\r\nno colon here\r\n"), "accepted");
}

// Every control byte a header can hold (all but tab, CR and LF, which end or
// fold lines, and DEL), in a subject: the message is read on past it, the
// byte stays in the subject and in the transport headers.
TEST(Rfc822, ControlBytesInAHeaderStayInItsValue) {
    std::vector<char> controls;
    for (int byte = 0x00; byte < 0x20; ++byte) {
        if (byte != '\t' && byte != '\r' && byte != '\n')
            controls.push_back(static_cast<char>(byte));
    }
    controls.push_back('\x7f');
    for (char control : controls) {
        const std::string headers = std::string("From: Ann <ann@example.com>\r\nSubject: a") +
                                    control + "b\r\nTo: bob@example.org\r\n";
        const auto properties = ReadProperties(headers + "\r\nbody\r\n");
        const int shown = static_cast<unsigned char>(control);
        EXPECT_EQ(Wide(properties, tags::kSubject), (std::wstring{L'a', wchar_t(shown), L'b'}))
            << shown;
        EXPECT_EQ(Narrow(properties, tags::kTransportHeaders), headers) << shown;
        EXPECT_EQ(Narrow(properties, tags::kReceivedByEmail), "bob@example.org") << shown;
        EXPECT_EQ(Wide(properties, tags::kBody), L"body\r\n") << shown;
    }
    // At the start and at the end of a value, in a name and an address.
    const std::string edges = "Subject: \0edge\x1b\r\nFrom: A\x01nn <ann@exa\x7fmple.com>\r\n\r\n"s;
    const auto properties = ReadProperties(edges);
    EXPECT_EQ(Wide(properties, tags::kSubject), std::wstring(L"\0edge\x1b", 6));
    EXPECT_EQ(Wide(properties, tags::kSenderName), L"A\x01nn");
    EXPECT_EQ(Narrow(properties, tags::kSenderEmail), "ann@exa\x7fmple.com");
}

TEST(Rfc822, EscapeSequencesOfAnUnencodedJapaneseSubjectAreReadInItsCharset) {
    const auto properties = ReadProperties(
        "Subject: \x1b$B$3$s$K$A$O\x1b(B\r\n"
        "Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n\x1b$B$O$$\x1b(B\r\n");
    EXPECT_EQ(Wide(properties, tags::kSubject), L"こんにちは");
    EXPECT_EQ(Wide(properties, tags::kBody), L"はい\r\n");
}

TEST(Rfc822, LineEndsAndLinesThatAreNoFieldEndTheHeaderBlockAsAServerReadsIt) {
    // A bare CR inside a value stays; CRs before a line's LF are its end.
    auto properties = ReadProperties("Subject: a\rb\r\r\nTo: c@d.e\n\nbody");
    EXPECT_EQ(Wide(properties, tags::kSubject), L"a\rb");
    EXPECT_EQ(Narrow(properties, tags::kReceivedByEmail), "c@d.e");
    EXPECT_EQ(Wide(properties, tags::kBody), L"body");
    // A line without a colon, or with a name no field has, starts the body.
    for (const std::string& odd :
         {"this line is not a header"s, "Bad Name: x"s, "Sub\0ject: x"s, "\x1b$B: x"s}) {
        properties = ReadProperties("Subject: s\r\n" + odd + "\r\nTo: late@x.y\r\n\r\nrest\r\n");
        EXPECT_EQ(Wide(properties, tags::kSubject), L"s");
        EXPECT_EQ(Narrow(properties, tags::kTransportHeaders), "Subject: s\r\n");
        EXPECT_EQ(Narrow(properties, tags::kReceivedByEmail), "<absent>");
        EXPECT_EQ(Wide(properties, tags::kBody), text::ToWide(odd, 20127) +
                                                     L"\r\nTo: late@x.y\r\n"
                                                     L"\r\nrest\r\n");
    }
    // Headers and nothing after them.
    properties = ReadProperties("Subject: only\r\nX-Note: \x02");
    EXPECT_EQ(Narrow(properties, tags::kTransportHeaders), "Subject: only\r\nX-Note: \x02");
}

TEST(Rfc822, ClassFollowsTheContent) {
    EXPECT_EQ(ClassOf("Subject: plain\r\n\r\nhello"), "IPM.Note");
    EXPECT_EQ(ClassOf("Content-Type: multipart/signed; protocol=\"application/pkcs7-signature\";"
                      " boundary=b\r\n\r\n--b\r\n\r\nx\r\n--b--\r\n"),
              "IPM.Note.SMIME.MultipartSigned");
    EXPECT_EQ(ClassOf("Content-Type: application/pkcs7-mime; smime-type=enveloped-data\r\n"
                      "Content-Transfer-Encoding: base64\r\n\r\nMIAGCSqGSIb3DQEHA6CAMIACAQAx\r\n"),
              "IPM.Note.SMIME");
    EXPECT_EQ(ClassOf("Content-Type: multipart/report; report-type=delivery-status; boundary=r\r\n"
                      "\r\n--r\r\n\r\nundeliverable\r\n--r--\r\n"),
              "REPORT.IPM.Note.NDR");
    EXPECT_EQ(ClassOf("Content-Type: multipart/report; report-type=disposition-notification;"
                      " boundary=r\r\n\r\n--r\r\n\r\nread\r\n--r--\r\n"),
              "REPORT.IPM.Note.IPNRN");
    EXPECT_EQ(ClassOf("X-Message-Class: IPM.Note.Custom\r\n\r\nx"), "IPM.Note.Custom");
}

TEST(Rfc822, MeetingRequestByItsCalendarMethod) {
    // The method as a parameter of a nested calendar part ...
    EXPECT_EQ(ClassOf("Content-Type: multipart/alternative; boundary=\"x y\"\r\n\r\n"
                      "--x y\r\nContent-Type: text/plain\r\n\r\ncome\r\n"
                      "--x y\r\nContent-Type: text/calendar; method=REQUEST\r\n\r\n"
                      "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n--x y--\r\n"),
              "IPM.Schedule.Meeting.Request");
    // ... or only inside the calendar text.
    EXPECT_EQ(ClassOf("Content-Type: text/calendar\r\n\r\nBEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\n"
                      "END:VCALENDAR\r\n"),
              "IPM.Schedule.Meeting.Request");
    EXPECT_EQ(ClassOf("Content-Type: text/calendar\r\n\r\nBEGIN:VCALENDAR\r\nMETHOD:PUBLISH\r\n"),
              "IPM.Note");
}

TEST(Rfc822, AddressesFromInternetAndExchangeHeaders) {
    const auto smtp = ReadProperties(
        "From: \"Doe, John\" <john@example.com>\r\nTo: Jane <jane@example.org>, bob@example.org\r\n"
        "Subject: hi\r\n\r\n");
    EXPECT_EQ(Narrow(smtp, tags::kSentRepresentingAddrType), "SMTP");
    EXPECT_EQ(Narrow(smtp, tags::kSentRepresentingEmail), "john@example.com");
    EXPECT_EQ(Wide(smtp, tags::kSentRepresentingName), L"Doe, John");
    EXPECT_EQ(Narrow(smtp, tags::kReceivedRepresentingAddrType), "SMTP");
    EXPECT_EQ(Narrow(smtp, tags::kReceivedRepresentingEmail), "jane@example.org");
    EXPECT_EQ(Wide(smtp, tags::kDisplayTo), L"Jane; bob@example.org");

    const auto ex = ReadProperties(
        "From: Bob <bob@first.example>\r\nX-EX-Sender: /o=First Organization/ou=Site/cn=bob\r\n"
        "X-EX-Receiver: /o=First Organization/ou=Site/cn=jane\r\nSubject: inside\r\n\r\n");
    EXPECT_EQ(Narrow(ex, tags::kSentRepresentingAddrType), "EX");
    EXPECT_EQ(Narrow(ex, tags::kSentRepresentingEmail), "/o=First Organization/ou=Site/cn=bob");
    EXPECT_EQ(Narrow(ex, tags::kSenderAddrType), "EX");
    EXPECT_EQ(Narrow(ex, tags::kReceivedRepresentingAddrType), "EX");
    EXPECT_EQ(Narrow(ex, tags::kReceivedRepresentingEmail),
              "/o=First Organization/ou=Site/cn=jane");

    // An Exchange sender and no receiver at all.
    const auto noReceiver = ReadProperties("X-EX-Sender: /o=Org/cn=bob\r\n\r\n");
    EXPECT_EQ(Narrow(noReceiver, tags::kSentRepresentingAddrType), "EX");
    EXPECT_FALSE(noReceiver.contains(tags::kReceivedRepresentingAddrType));
}

TEST(Rfc822, TransportHeadersAreTheHeaderBlockAsItCame) {
    const std::string headers = "Received: from mx\r\n\tby us\r\nSubject: x\r\n";
    EXPECT_EQ(Narrow(ReadProperties(headers + "\r\nbody\r\n"), tags::kTransportHeaders), headers);
    const std::string bare = "Subject: x\nFrom: a@b.c\n";  // bare line ends stay bare
    EXPECT_EQ(Narrow(ReadProperties(bare + "\nbody"), tags::kTransportHeaders), bare);
    EXPECT_FALSE(ReadProperties("X-Transport-Headers: none\r\nSubject: x\r\n\r\n")
                     .contains(tags::kTransportHeaders));
}

TEST(Rfc822, IdentityReceiptSizeAndEncodedSubject) {
    const std::string message =
        "Message-ID: <1234@example.com>\r\nDisposition-Notification-To: a@b.c\r\n"
        "Subject: =?utf-8?B?R3LDvMOfZQ==?= =?iso-8859-1?Q?_aus_K=F6ln?=\r\n\r\nx";
    const auto properties = ReadProperties(message);
    EXPECT_EQ(Narrow(properties, tags::kInternetMessageId), "<1234@example.com>");
    EXPECT_TRUE(std::get<bool>(properties.at(tags::kReadReceiptRequested)));
    EXPECT_EQ(std::get<std::int32_t>(properties.at(tags::kMessageSize)),
              static_cast<std::int32_t>(message.size()));
    EXPECT_EQ(Wide(properties, tags::kSubject), L"Grüße aus Köln");
    EXPECT_TRUE(
        ReadProperties("Return-Receipt-To: a@b.c\r\n\r\n").contains(tags::kReadReceiptRequested));
    EXPECT_FALSE(ReadProperties("Subject: x\r\n\r\n").contains(tags::kReadReceiptRequested));
}

TEST(Rfc822, CodePageFromTheCharset) {
    const auto codePage = [](const std::string& message) {
        return std::get<std::int32_t>(ReadProperties(message).at(tags::kInternetCodePage));
    };
    EXPECT_EQ(codePage("Subject: x\r\n\r\n"), 20127);
    EXPECT_EQ(codePage("Content-Type: text/plain; charset=\"UTF-8\"\r\n\r\n"), 65001);
    EXPECT_EQ(codePage("Content-Type: text/plain; charset=koi8-r\r\n\r\n"), 20866);
    EXPECT_EQ(codePage("Content-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\n"
                       "Content-Type: text/plain; charset=windows-1251\r\n\r\nx\r\n--b--\r\n"),
              1251);
    EXPECT_EQ(codePage("Content-Type: text/plain; charset=x-unheard-of\r\n\r\n"), 1252);
}

TEST(Rfc822, BodiesDecodedAndAnHtmlBodyMadeFromAPlainOne) {
    const auto plainOnly = ReadProperties(
        "Content-Type: text/plain; charset=iso-8859-1\r\nContent-Transfer-Encoding: "
        "quoted-printable\r\n\r\nK=F6ln <ist> sch=\r\n=F6n\r\n");
    EXPECT_EQ(Wide(plainOnly, tags::kBody), L"Köln <ist> schön\r\n");
    const std::wstring html = Wide(plainOnly, tags::kBodyHtml);
    EXPECT_NE(html.find(rfc822::kConvertedMarker), std::wstring::npos);
    EXPECT_NE(html.find(L"K\u00f6ln &lt;ist&gt; sch\u00f6n"), std::wstring::npos);

    const auto alternative = ReadProperties(
        "Content-Type: multipart/mixed; boundary=outer\r\n\r\npreamble\r\n--outer\r\n"
        "Content-Type: multipart/alternative; boundary=inner\r\n\r\n"
        "--inner\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: "
        "base64\r\n"
        "\r\nR3LDvMOfZQ==\r\n--inner\r\nContent-Type: "
        "text/html\r\n\r\n<p>Hello</p>\r\n--inner--\r\n"
        "--outer\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=a.txt\r\n"
        "\r\nattached\r\n--outer--\r\n");
    EXPECT_EQ(Wide(alternative, tags::kBody), L"Grüße");
    EXPECT_EQ(Wide(alternative, tags::kBodyHtml), L"<p>Hello</p>");

    const auto htmlOnly = ReadProperties(
        "Content-Type: text/html\r\n\r\n<html><body><b>Tom &amp; Jerry</b></body></html>");
    EXPECT_EQ(Wide(htmlOnly, tags::kBody), L"Tom & Jerry");
    EXPECT_EQ(Wide(htmlOnly, tags::kBodyHtml).find(rfc822::kConvertedMarker), std::wstring::npos);
}

TEST(Rfc822, Decoders) {
    EXPECT_EQ(rfc822::DecodeBase64("SGVs\r\nbG8="), "Hello");
    EXPECT_EQ(rfc822::DecodeBase64("AAEC/w=="), std::string("\x00\x01\x02\xff", 4));
    EXPECT_EQ(rfc822::DecodeQuotedPrintable("a=3Db=\nc =XY="), "a=bc =XY=");
    const auto boxes = rfc822::ParseAddressList("bob@x.org (Bob Smith), \"a, b\" <ab@x.org>");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].address, "bob@x.org");
    EXPECT_EQ(boxes[0].name, "Bob Smith");
    EXPECT_EQ(boxes[1].address, "ab@x.org");
    EXPECT_EQ(boxes[1].name, "a, b");
}

}  // namespace
}  // namespace mailstore

namespace mailstore {
namespace {

// Every cut of a nested multipart message, and bytes flipped through it, is
// either read or refused with a StoreError (any other exception fails the
// test), and nothing reads past the end (which the address sanitizer sees).
TEST(Rfc822, CutAndDamagedMessagesAreReadOrRefusedNeverOverrun) {
    const std::string whole =
        "Subject: =?utf-8?Q?cut_=C3=BC?=\r\nFrom: \"A, B\" <a@b.c>\r\nContent-Type: "
        "multipart/mixed;"
        " boundary=\"o\"\r\n\r\n--o\r\nContent-Type: multipart/alternative; boundary=i\r\n\r\n"
        "--i\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n"
        "\r\nR3LDvMOfZQ==\r\n--i\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: "
        "quoted-printable\r\n\r\n<p>a=3Db=\r\n</p>\r\n--i--\r\n--o\r\nContent-Type: text/calendar"
        "\r\n\r\nMETHOD:REQUEST\r\n--o--\r\n";
    int read = 0, refused = 0;
    const auto attempt = [&](const std::string& message) {
        try {
            ReadProperties(message);
            ++read;
        } catch (const StoreError&) {
            ++refused;
        }
    };
    for (std::size_t cut = 0; cut <= whole.size(); ++cut)
        attempt(whole.substr(0, cut));
    std::uint32_t seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = whole;
        for (int flip = 0; flip < 3; ++flip) {
            seed = seed * 1103515245u + 12345u;
            damaged[(seed >> 8) % damaged.size()] = static_cast<char>(seed >> 24);
        }
        attempt(damaged);
    }
    EXPECT_GT(refused, 0);  // the empty cut at least
    EXPECT_GT(read, 0);
}

}  // namespace
}  // namespace mailstore
