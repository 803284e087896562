// The core's HTTP client against the service stand-in and against peers
// that misbehave: what comes back, and what counts as no answer.
#include "net/http_client.h"
#include "net/http_text.h"
#include "service/service_standin.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

using standins::net::HttpGet;
using standins::net::HttpTimeouts;
using standins::service::FilterService;
using namespace std::chrono_literals;

class ServiceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_service.Start()); }
    std::string Url(const std::string& target) const { return m_service.Url() + target; }

    FilterService m_service;
};

TEST_F(ServiceTest, LogOnAnswersTheValuesAsKeyValueLines) {
    auto response = HttpGet(Url("/Account/LogOn.asp?id=42&pw=secret"));
    ASSERT_EQ(response.status, 200);
    EXPECT_NE(response.body.find("Login.Access=Approved\r\n"), std::string::npos);
    EXPECT_NE(response.body.find("Parameters.Mailtag=1\r\n"), std::string::npos);
    // The links name the server and the identity that asked.
    EXPECT_NE(response.body.find("url.Email=" + m_service.Url() + "/Account/MailTag.asp?id=42\r\n"),
              std::string::npos);

    m_service.Set("Login.Access", "Denied");
    m_service.Remove("Advert.Caption");
    response = HttpGet(Url("/Account/LogOn.asp?id=42&pw=secret"));
    EXPECT_NE(response.body.find("Login.Access=Denied\r\n"), std::string::npos);
    EXPECT_EQ(response.body.find("Advert.Caption"), std::string::npos);
}

TEST_F(ServiceTest, AConfiguredAccountRefusesAWrongIdentityOrPassword) {
    m_service.SetAccount(7, "p&ss word");
    EXPECT_EQ(HttpGet(Url("/Account/LogOn.asp?id=8&pw=p%26ss%20word")).status, 403);
    EXPECT_EQ(HttpGet(Url("/Account/LogOn.asp?id=7&pw=pss")).status, 403);
    const std::string good =
        "/Account/LogOn.asp?id=7&pw=" + standins::net::PercentEncode("p&ss word");
    EXPECT_EQ(HttpGet(Url(good)).status, 200);

    auto served = m_service.Requests();
    ASSERT_EQ(served.size(), 3u);
    EXPECT_EQ(served[0].path, "/Account/LogOn.asp");
    EXPECT_EQ(served[0].status, 403);
    EXPECT_EQ(served[2].status, 200);
    EXPECT_EQ(m_service.CountOf("/Account/LogOn.asp"), 3u);
}

TEST_F(ServiceTest, TheFooterDocumentCarriesTheTextsEscaped) {
    m_service.SetFooter("a < b & c", "<b>|Blocked|</b>");
    auto response = HttpGet(Url("/Account/MailTag.asp?id=1"));
    ASSERT_EQ(response.status, 200);
    EXPECT_NE(response.body.find("<MailTag><PlainTxt>a &lt; b &amp; c</PlainTxt>"
                                 "<HtmlTxt>&lt;b&gt;|Blocked|&lt;/b&gt;</HtmlTxt></MailTag>"),
              std::string::npos);
}

TEST_F(ServiceTest, GetIpAnswersTheCallersAddressAndUnknownPagesAre404) {
    auto response = HttpGet(Url("/Component/getip.asp"));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "127.0.0.1");
    response = HttpGet(Url("/nothing/here.asp"));
    EXPECT_EQ(response.status, 404);
    EXPECT_EQ(response.body, "Not found");
}

TEST_F(ServiceTest, ChunkedBodiesAreReassembled) {
    m_service.SetChunkSize(5);
    m_service.Set("Advert.Caption", std::string(100, 'x'));
    auto chunked = HttpGet(Url("/Account/LogOn.asp?id=1&pw="));
    m_service.SetChunkSize(0);
    auto whole = HttpGet(Url("/Account/LogOn.asp?id=1&pw="));
    ASSERT_EQ(chunked.status, 200);
    EXPECT_EQ(chunked.body, whole.body);
    EXPECT_NE(chunked.body.find(std::string(100, 'x')), std::string::npos);
}

TEST_F(ServiceTest, ADownServiceRefusesAndComesBackOnTheSamePort) {
    const std::string url = Url("/Component/getip.asp");
    ASSERT_TRUE(m_service.SetDown(true));
    auto response = HttpGet(url);
    EXPECT_EQ(response.status, 0);
    EXPECT_EQ(response.body, "");
    ASSERT_TRUE(m_service.SetDown(false));
    EXPECT_EQ(HttpGet(url).status, 200);
    EXPECT_EQ(m_service.CountOf("/Component/getip.asp"), 1u);
}

TEST_F(ServiceTest, ALateAnswerPastTheClientsTimeOutIsNoAnswer) {
    m_service.SetDelay(1500ms);
    auto response = HttpGet(Url("/Component/getip.asp"), HttpTimeouts{1000ms, 300ms});
    EXPECT_EQ(response.status, 0);
    m_service.Stop();  // ends the delayed answer without sending it
    EXPECT_EQ(m_service.CountOf("/Component/getip.asp"), 0u);
}

// A listener that accepts connections in its backlog but never answers.
TEST(HttpClientTest, AListenerThatNeverAnswersTimesOut) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(fd, 4), 0);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";

    const auto start = std::chrono::steady_clock::now();
    auto response = HttpGet(url, HttpTimeouts{1000ms, 300ms});
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(response.status, 0);
    EXPECT_GE(waited, 300ms);
    EXPECT_LT(waited, 5s);  // gave up on its own, not by the peer
    close(fd);
}

TEST(HttpClientTest, UrlsOutsidePlainHttpAreNoAnswer) {
    for (const char* url : {"https://127.0.0.1:1/", "ftp://127.0.0.1/", "127.0.0.1:80/", "http://",
                            "http://host:0/", "http://host:99999/", "http://u@host/"})
        EXPECT_EQ(HttpGet(url).status, 0) << url;
}

TEST(HttpTextTest, UrlsSplitIntoHostPortAndTarget) {
    auto url = standins::net::ParseHttpUrl("HTTP://Example.com:8642/Account/LogOn.asp?id=1#top");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->host, "Example.com");
    EXPECT_EQ(url->port, "8642");
    EXPECT_EQ(url->target, "/Account/LogOn.asp?id=1");
    url = standins::net::ParseHttpUrl("http://example.com?x=1");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->port, "80");
    EXPECT_EQ(url->target, "/?x=1");
}

TEST(HttpTextTest, ChunkedBodiesNeedTheirLastChunkAndRejectBadSizes) {
    std::string body;
    using standins::net::Chunked;
    EXPECT_EQ(standins::net::DecodeChunked("3;ext=1\r\nabc\r\n2\r\nde\r\n0\r\nX: y\r\n\r\n", body),
              Chunked::Complete);
    EXPECT_EQ(body, "abcde");
    EXPECT_EQ(standins::net::DecodeChunked("3\r\nabc\r\n", body), Chunked::Incomplete);
    EXPECT_EQ(standins::net::DecodeChunked("3\r\nabcd\r\n0\r\n\r\n", body), Chunked::Malformed);
    EXPECT_EQ(standins::net::DecodeChunked("zz\r\n", body), Chunked::Malformed);
}

TEST(HttpTextTest, QueryValuesArePercentDecoded) {
    EXPECT_EQ(standins::net::QueryValue("id=5&pw=a%26b+c", "pw"), "a&b c");
    EXPECT_EQ(standins::net::QueryValue("id=5", "pw"), std::nullopt);
    EXPECT_EQ(standins::net::PercentEncode("a&b c~"), "a%26b%20c~");
    EXPECT_EQ(standins::net::PercentDecode("100%"), "100%");
}

}  // namespace
