#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "filter/mime.h"
#include "filter/tokenizer.h"

namespace bv::filter {
namespace {

bool Has(const std::vector<std::string>& tokens, const std::string& token) {
    return std::find(tokens.begin(), tokens.end(), token) != tokens.end();
}

TEST(Decoders, Base64IgnoresLineBreaksAndStopsAtPadding) {
    EXPECT_EQ(DecodeBase64("SGVs\r\nbG8s IHdv\ncmxk"), "Hello, world");
    EXPECT_EQ(DecodeBase64("YQ==garbage"), "a");
    EXPECT_EQ(DecodeBase64("/w=="), std::string(1, '\xff'));
}

TEST(Decoders, QuotedPrintableSoftBreaksHexAndStrayEquals) {
    EXPECT_EQ(DecodeQuotedPrintable("fr=\r\nee =3D cash=20\r\nnow"), "free = cash \r\nnow");
    EXPECT_EQ(DecodeQuotedPrintable("soft=  \nbreak"), "softbreak");
    EXPECT_EQ(DecodeQuotedPrintable("caf=E9 =ZZ end="), "caf\xe9 =ZZ end=");
    EXPECT_EQ(mime::DecodeEncodedWords("=?utf-8?B?RnJlZQ==?= and =?iso-8859-1?Q?big_cash?="),
              "Free and big cash");
}

TEST(Tokenizer, HeadersArePrefixedByNameAndEncodedWordsDecoded) {
    auto tokens = Tokenize(
        "From: Sales Team <deals@Offers.Example.biz>\r\n"
        "Subject: =?utf-8?B?RlJFRSBtb25leQ==?=\r\n"
        "X-Folded: first\r\n second\r\n"
        "\r\n"
        "Plain words, 12345 and e-mail!\r\n");
    EXPECT_TRUE(Has(tokens, "subject:free"));
    EXPECT_TRUE(Has(tokens, "subject:money"));
    EXPECT_TRUE(Has(tokens, "from:offers.example.biz"));
    EXPECT_TRUE(Has(tokens, "x-folded:second"));
    EXPECT_TRUE(Has(tokens, "words"));
    EXPECT_TRUE(Has(tokens, "e-mail"));
    EXPECT_FALSE(Has(tokens, "12345"));  // bare numbers are noise
    EXPECT_FALSE(Has(tokens, "e-mail!"));
    // Body words are not mistaken for headers.
    EXPECT_FALSE(Has(tokens, "subject:words"));
}

TEST(Tokenizer, RouteHeadersGiveNoTokensButWhatTheSenderWroteDoes) {
    auto tokens = Tokenize(
        "Return-Path: <bounce@lists.example.org>\r\n"
        "Received: from relay.example.org (relay.example.org [192.0.2.7])\r\n"
        "\tby mx.example.net (Postfix) with ESMTP; Tue, 3 Sep 2002 15:02:38 -0500 (CDT)\r\n"
        "Received: by nodate.example.com with SMTP\r\n"
        "Message-ID: <1234.abcd@host.example.org>\r\n"
        "Date: Wed, 4 Sep 2002 10:00:00 +0100\r\n"
        "List-Unsubscribe: <mailto:talk-request@lists.example.org?subject=unsubscribe>\r\n"
        "List-Id: Talk <talk.lists.example.org>\r\n"
        "X-Mailman-Version: 2.0.11\r\n"
        "X-BeenThere: talk@lists.example.org\r\n"
        "Precedence: bulk\r\n"
        "X-Mailer: Bulk Sender Pro\r\n"
        "Subject: Weekly offers\r\n"
        "Content-Type: multipart/mixed; boundary=\"b\"\r\n"
        "\r\n"
        "--b\r\n"
        "Content-Type: message/rfc822\r\n\r\n"
        "Message-ID: <inner.id@forwarded.example>\r\n"
        "Subject: inner news\r\n\r\n"
        "innerbody\r\n"
        "--b--\r\n");
    for (const std::string& token : tokens) {
        EXPECT_FALSE(token.starts_with("list-") || token.starts_with("x-mailman") ||
                     token.starts_with("message-id:") || token.starts_with("date:") ||
                     token.starts_with("return-path:") || token.starts_with("x-beenthere:") ||
                     token.starts_with("precedence:"))
            << token;
    }
    EXPECT_FALSE(Has(tokens, "url:lists.example.org"));  // not even the hosts of list links
    // Received keeps its hosts and software, not the time stamp after ";".
    EXPECT_TRUE(Has(tokens, "received:relay.example.org"));
    EXPECT_TRUE(Has(tokens, "received:postfix"));
    EXPECT_TRUE(Has(tokens, "received:nodate.example.com"));
    EXPECT_FALSE(Has(tokens, "received:sep"));
    EXPECT_FALSE(Has(tokens, "received:cdt"));
    // What the sender chose stays, in forwarded messages too.
    EXPECT_TRUE(Has(tokens, "x-mailer:bulk"));
    EXPECT_TRUE(Has(tokens, "subject:offers"));
    EXPECT_TRUE(Has(tokens, "subject:inner"));
    EXPECT_TRUE(Has(tokens, "innerbody"));
    EXPECT_FALSE(Has(tokens, "message-id:forwarded.example"));
}

TEST(Tokenizer, PlainTextEndsAtItsSignatureOrFooter) {
    auto m_signed = Tokenize(
        "\r\nopening words\r\n--not a separator\r\nstill body\r\n-- \r\n"
        "Signer Name, http://www.signer.example.com/\r\n");
    EXPECT_TRUE(Has(m_signed, "opening"));
    EXPECT_TRUE(Has(m_signed, "still"));
    EXPECT_FALSE(Has(m_signed, "signer"));
    EXPECT_FALSE(Has(m_signed, "url:www.signer.example.com"));

    auto listed = Tokenize(
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\n"
        "first part\r\n_____ short rule\r\n__________________\r\nfooterword listinfo\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\nsecond part\r\n"
        "--b\r\nContent-Type: text/html\r\n\r\n<p>htmlword\n-- \nafterdashes</p>\r\n"
        "--b--\r\n");
    EXPECT_TRUE(Has(listed, "first"));
    EXPECT_TRUE(Has(listed, "rule"));  // fewer than ten underscores are no footer
    EXPECT_FALSE(Has(listed, "footerword"));
    EXPECT_TRUE(Has(listed, "second"));       // each part has its own end
    EXPECT_TRUE(Has(listed, "afterdashes"));  // HTML has no signature convention
}

TEST(Tokenizer, Base64AndQuotedPrintableBodiesAreReadDecoded) {
    auto base64 = Tokenize(
        "Content-Type: text/plain\r\nContent-Transfer-Encoding: BASE64\r\n\r\n"
        "Q2hlYXAgdmlhZ3JhIG9ubGluZQ==\r\n");
    EXPECT_TRUE(Has(base64, "cheap"));
    EXPECT_TRUE(Has(base64, "viagra"));
    EXPECT_FALSE(Has(base64, "q2hlyxagdmlhz3jhig9ubgluzq"));

    auto qp = Tokenize(
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
        "unbeliev=\r\nable off=65r caf=E9\r\n");
    EXPECT_TRUE(Has(qp, "unbelievable"));
    EXPECT_TRUE(Has(qp, "offer"));
    EXPECT_TRUE(Has(qp, "caf\xe9"));  // bytes of any charset stay in the word
}

TEST(Tokenizer, NestedMultipartWalksEveryTextPartAndSkipsBinaryOnes) {
    const std::string message =
        "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
        "preamble words\r\n"
        "--outer\r\n"
        "Content-Type: multipart/alternative; boundary=inner\r\n\r\n"
        "--inner\r\n"
        "Content-Type: text/plain\r\n\r\n"
        "alternative plaintext\r\n"
        "--inner\r\n"
        "Content-Type: text/html\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        "PGI+Ym9sZHdvcmQ8L2I+\r\n"  // <b>boldword</b>
        "--inner--\r\n"
        "--outer\r\n"
        "Content-Type: application/octet-stream; name=\"setup.exe\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n"
        "TVqQAAMAAAAEAAAA//8AALgAAAAAAAAAQAAAAAAAAAAA\r\n"
        "--outer\r\n"
        "Content-Type: message/rfc822\r\n\r\n"
        "Subject: forwarded inner\r\n\r\n"
        "forwardedbody\r\n"
        "--outer--\r\n"
        "epilogue words\r\n";
    auto tokens = Tokenize(message);
    EXPECT_TRUE(Has(tokens, "plaintext"));
    EXPECT_TRUE(Has(tokens, "boldword"));
    EXPECT_TRUE(Has(tokens, "html:b"));
    EXPECT_TRUE(Has(tokens, "content-type:setup.exe"));
    EXPECT_TRUE(Has(tokens, "subject:forwarded"));
    EXPECT_TRUE(Has(tokens, "forwardedbody"));
    EXPECT_FALSE(Has(tokens, "preamble"));
    EXPECT_FALSE(Has(tokens, "epilogue"));
    for (const std::string& token : tokens)
        EXPECT_EQ(token.find("tvqq"), std::string::npos) << token;  // attachment bytes unread
}

TEST(Tokenizer, AnHtmlPartAtAnyLevelMarksTheMessagesForm) {
    const std::string nested =
        "Content-Type: multipart/mixed; boundary=outer\r\n\r\n"
        "--outer\r\n"
        "Content-Type: multipart/alternative; boundary=inner\r\n\r\n"
        "--inner\r\n"
        "Content-Type: text/html\r\n\r\n"
        "no tags at all\r\n"
        "--inner--\r\n"
        "--outer--\r\n";
    EXPECT_TRUE(IsHtmlForm(Tokenize(nested)));
    // Markup typed into plain text, or an HTML attachment's name, is not the form.
    EXPECT_FALSE(
        IsHtmlForm(Tokenize("Content-Type: text/plain\r\n\r\n<html><b>hi</b></html>\r\n")));
    EXPECT_FALSE(IsHtmlForm(Tokenize(
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
        "Content-Type: application/octet-stream; name=\"page.html\"\r\n\r\nAAAA\r\n--b--\r\n")));
}

TEST(Tokenizer, HtmlGivesTagsTextAndUrlHostsButNotCommentsOrStyles) {
    auto tokens = Tokenize(
        "Content-Type: text/html\r\n\r\n"
        "<HTML><body bgcolor=\"#fff\"><p>Buy&nbsp;n&#111;w</p>"
        "<!-- hiddenword --><style>p { hiddenstyle: 1 }</style>"
        "<a HREF=\"http://user@Click.Deals.Example.com:8080/x?y\">visit</a>"
        "<img src='https://cdn.example.net/i.gif'> see www.shop.example.org/now</body></html>");
    EXPECT_TRUE(Has(tokens, "html:html"));
    EXPECT_TRUE(Has(tokens, "html:body"));
    EXPECT_TRUE(Has(tokens, "html:a"));
    EXPECT_FALSE(Has(tokens, "html:a:href"));  // attribute names repeat their tag
    EXPECT_FALSE(Has(tokens, "html:body:bgcolor"));
    EXPECT_TRUE(Has(tokens, "buy"));
    EXPECT_TRUE(Has(tokens, "now"));  // "n&#111;w": a letter hidden as a reference
    EXPECT_TRUE(Has(tokens, "visit"));
    EXPECT_TRUE(Has(tokens, "url:click.deals.example.com"));
    EXPECT_TRUE(Has(tokens, "url:deals.example.com"));
    EXPECT_TRUE(Has(tokens, "url:example.com"));
    EXPECT_FALSE(Has(tokens, "url:com"));
    EXPECT_TRUE(Has(tokens, "url:cdn.example.net"));
    EXPECT_TRUE(Has(tokens, "url:www.shop.example.org"));
    EXPECT_FALSE(Has(tokens, "hiddenword"));
    EXPECT_FALSE(Has(tokens, "hiddenstyle"));
    EXPECT_FALSE(Has(tokens, "fff"));  // attribute values are not text
}

TEST(Tokenizer, DegenerateInputsGiveFewOrNoTokens) {
    EXPECT_TRUE(Tokenize("").empty());
    EXPECT_TRUE(Tokenize("\r\n\r\n").empty());
    // A multipart without a boundary is read as text; an unclosed comment and an unclosed tag end
    // quietly.
    EXPECT_TRUE(Has(Tokenize("Content-Type: multipart/mixed\r\n\r\nbody"), "body"));
    auto html = Tokenize("Content-Type: text/html\r\n\r\nseen <!-- never closed");
    EXPECT_TRUE(Has(html, "seen"));
    EXPECT_FALSE(Has(html, "closed"));
    // Each token appears once however often the word does.
    auto repeated = Tokenize("\r\nspam spam SPAM Spam");
    EXPECT_EQ(std::count(repeated.begin(), repeated.end(), "spam"), 1);
}

TEST(Tokenizer, RunsOfAScriptWithoutSpacesAreReadInOverlappingPieces) {
    // Six double-byte characters in a row, as a GB2312 or EUC-KR text has them, in the body and
    // in an encoded subject; then a short non-ASCII word and a long ASCII one.
    const std::string run = "\xc3\xe2\xb7\xd1\xb5\xe7\xd7\xd3\xd3\xca\xbc\xfe";
    auto tokens = Tokenize("Subject: =?gb2312?B?w+K30bXn19PTyrz+?=\r\n\r\n" + run + " caf\xe9 " +
                           std::string(41, 'a') + "\r\n");
    for (size_t at = 0; at + 4 <= run.size(); at += 2) {
        EXPECT_TRUE(Has(tokens, run.substr(at, 4))) << at;
        EXPECT_TRUE(Has(tokens, "subject:" + run.substr(at, 4))) << at;
    }
    EXPECT_FALSE(Has(tokens, run.substr(1, 4)));  // pieces start at character boundaries
    EXPECT_FALSE(Has(tokens, run));
    // Mostly ASCII, or short enough to be one word: kept whole. Long ASCII stays dropped.
    EXPECT_TRUE(Has(tokens, "caf\xe9"));
    EXPECT_FALSE(Has(tokens, std::string(41, 'a')));
    EXPECT_FALSE(Has(tokens, "aaaa"));
    // Nine bytes, the first two ASCII letters: more than half non-ASCII, so read in pieces.
    auto mixed = Tokenize("\r\nab\xc3\xe2\xb7\xd1\xb5\xe7\xd7\r\n");
    EXPECT_TRUE(Has(mixed, "ab\xc3\xe2"));
    EXPECT_TRUE(Has(mixed, "\xb7\xd1\xb5\xe7"));
    EXPECT_EQ(mixed.size(), 3u);  // at 0, 2 and 4; the odd last byte starts no piece
}

TEST(Tokenizer, SenderAddressFromTheFromHeader) {
    EXPECT_EQ(SenderAddress("From: \"Joe, Q\" <Joe@Example.COM>\r\n\r\n"), "joe@example.com");
    EXPECT_EQ(SenderAddress("From: joe@example.com (Joe)\r\n\r\n"), "joe@example.com");
    EXPECT_EQ(SenderAddress("From: nobody\r\n\r\n"), "");
    EXPECT_EQ(SenderAddress("Subject: none\r\n\r\n"), "");
}

}  // namespace
}  // namespace bv::filter
