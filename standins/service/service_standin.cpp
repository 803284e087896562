#include "service/service_standin.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "net/http_text.h"
#include "net/socket.h"

namespace standins::service {
namespace {

using net::RealClock;

// How long a connection may take to send its request, and the answer to go out.
constexpr std::chrono::seconds kIoTimeout{3};

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
    }
    return "Unknown";
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string EscapeXml(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '&':
                escaped += "&amp;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// A listening socket on 127.0.0.1:port (0: any free port); -1 on failure.
int Listen(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 64) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int PortOf(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

std::string PeerAddress(int fd) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return {};
    char text[INET6_ADDRSTRLEN] = {};
    const void* raw =
        address.ss_family == AF_INET
            ? static_cast<const void*>(&reinterpret_cast<sockaddr_in&>(address).sin_addr)
            : &reinterpret_cast<sockaddr_in6&>(address).sin6_addr;
    return inet_ntop(address.ss_family, raw, text, sizeof text) ? text : "";
}

}  // namespace

struct FilterService::Connection {
    net::Socket socket;
    std::thread thread;
    std::atomic<bool> done{false};
};

FilterService::FilterService()
    : m_values{
          {"Login.Access", "Approved"},
          {"Login.Disabled", "0"},
          {"Parameters.Mailtag", "1"},
          {"url.Email", "{server}/Account/MailTag.asp?id={id}"},
          {"url.TellFriend", "{server}/TellFriend.asp?id={id}"},
          {"url.ToolBarLogo", "{server}/Logo.asp?id={id}"},
          {"Advert.Caption", "News from Brevint"},
          {"Advert.Link", "{server}/Advert.asp?id={id}"},
      },
      m_footerPlain("I have blocked |Blocked| spam mails of |Processed| with Brevint.|br|"
                   "Get it for free."),
      m_footerHtml("I have blocked <b>|Blocked|</b> spam mails of <b>|Processed|</b> with "
                  "Brevint.|br|<a href=\"http://127.0.0.1/\">Get it for free.</a>") {}

FilterService::~FilterService() {
    Stop();
}

bool FilterService::Start() {
    std::lock_guard lock(m_mutex);
    if (m_running)
        return false;
    int listener = Listen(0);
    if (listener < 0)
        return false;
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0) {
        close(listener);
        return false;
    }
    m_listener = listener;
    m_port = PortOf(listener);
    m_isDown = false;
    m_stopping = false;
    m_running = true;
    m_server = std::thread([this] { Serve(); });
    return true;
}

std::string FilterService::Url() const {
    std::lock_guard lock(m_mutex);
    return m_port ? "http://127.0.0.1:" + std::to_string(m_port) : std::string();
}

void FilterService::Stop() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_running)
            return;
        m_stopping = true;
    }
    m_changed.notify_all();
    Wake();
    m_server.join();
    std::lock_guard lock(m_mutex);
    close(m_wakeFd);
    m_wakeFd = -1;
    m_running = false;
    m_changed.notify_all();
}

bool FilterService::SetDown(bool down) {
    std::unique_lock lock(m_mutex);
    m_wantDown = down;
    m_listenFailed = false;
    if (!m_running)
        return true;
    Wake();
    m_changed.wait(lock, [&] { return m_isDown == down || m_listenFailed || m_stopping; });
    return !m_listenFailed;
}

void FilterService::SetDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(m_mutex);
    m_delay = delay;
}

void FilterService::SetChunkSize(size_t bytes) {
    std::lock_guard lock(m_mutex);
    m_chunkSize = bytes;
}

void FilterService::Set(const std::string& key, const std::string& value) {
    std::lock_guard lock(m_mutex);
    m_values[key] = value;
}

void FilterService::Remove(const std::string& key) {
    std::lock_guard lock(m_mutex);
    m_values.erase(key);
}

std::map<std::string, std::string> FilterService::Values() const {
    std::lock_guard lock(m_mutex);
    return m_values;
}

void FilterService::SetAccount(unsigned identity, const std::string& password) {
    std::lock_guard lock(m_mutex);
    m_account.emplace(identity, password);
}

void FilterService::SetFooter(const std::string& plain, const std::string& html) {
    std::lock_guard lock(m_mutex);
    m_footerPlain = plain;
    m_footerHtml = html;
}

std::vector<ServedRequest> FilterService::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_served;
}

size_t FilterService::CountOf(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    return static_cast<size_t>(std::count_if(
        m_served.begin(), m_served.end(), [&](const ServedRequest& r) { return r.path == path; }));
}

void FilterService::Wake() {
    uint64_t one = 1;
    if (m_wakeFd >= 0) [[maybe_unused]]
        auto ignored = write(m_wakeFd, &one, sizeof one);
}

// Runs on the server thread, which alone opens and closes the listener.
bool FilterService::SyncListener(std::unique_lock<std::mutex>&) {
    if (m_wantDown && m_listener >= 0) {
        close(m_listener);
        m_listener = -1;
        m_isDown = true;
    } else if (!m_wantDown && m_listener < 0 && !m_listenFailed) {
        m_listener = Listen(m_port);
        m_listenFailed = m_listener < 0;
        m_isDown = m_listener < 0;
    }
    m_changed.notify_all();
    return m_listener >= 0;
}

void FilterService::Serve() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        SyncListener(lock);
        const int listener = m_listener;
        const int wake = m_wakeFd;
        lock.unlock();

        pollfd fds[2] = {{wake, POLLIN, 0}, {listener, POLLIN, 0}};
        poll(fds, listener >= 0 ? 2 : 1, -1);
        uint64_t count = 0;
        [[maybe_unused]] auto ignored = read(wake, &count, sizeof count);
        if (listener >= 0 && (fds[1].revents & POLLIN)) {
            for (int fd;
                 (fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
                auto connection = std::make_unique<Connection>();
                connection->socket = net::Socket(fd);
                Connection& started = *connection;
                m_connections.push_back(std::move(connection));
                started.thread = std::thread([this, &started] {
                    Handle(started);
                    started.done = true;
                });
            }
        }
        ReapFinished();
        lock.lock();
    }
    if (m_listener >= 0)
        close(m_listener);
    m_listener = -1;
    lock.unlock();
    for (auto& connection : m_connections)
        connection->thread.join();
    m_connections.clear();
}

void FilterService::ReapFinished() {
    std::erase_if(m_connections, [](const std::unique_ptr<Connection>& connection) {
        if (!connection->done)
            return false;
        connection->thread.join();
        return true;
    });
}

bool FilterService::WaitDelay() {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, m_delay, [&] { return m_stopping; });
    return !m_stopping;
}

void FilterService::Handle(Connection& connection) {
    const auto deadline = RealClock::now() + kIoTimeout;
    std::string data;
    size_t headEnd = std::string::npos;
    while ((headEnd = net::HeadEnd(data)) == std::string::npos) {
        if (net::ReceiveSome(connection.socket, data, deadline) != net::Received::Data)
            return;
    }
    net::HttpHead head = net::ParseHead(std::string_view(data).substr(0, headEnd));
    // "GET /path?query HTTP/1.1"
    const std::string& line = head.startLine;
    size_t space = line.find(' ');
    size_t secondSpace = line.find(' ', space == std::string::npos ? space : space + 1);
    std::string method = line.substr(0, space);
    std::string target = space == std::string::npos
                             ? std::string()
                             : line.substr(space + 1, secondSpace - space - 1);
    size_t question = target.find('?');
    std::string path = target.substr(0, question);
    std::string query = question == std::string::npos ? std::string() : target.substr(question + 1);

    if (!WaitDelay())
        return;
    Answer answer;
    if (target.empty() || target.front() != '/')
        answer = {400, "text/plain", "Bad request"};
    else if (method != "GET")
        answer = {405, "text/plain", "Only GET is served"};
    else
        answer = Route(path, query, PeerAddress(connection.socket.fd()));

    size_t chunkSize = 0;
    {
        std::lock_guard lock(m_mutex);
        chunkSize = m_chunkSize;
        m_served.push_back({path, query, answer.status});
    }
    std::string response = "HTTP/1.1 " + std::to_string(answer.status) + " " +
                           Reason(answer.status) + "\r\nContent-Type: " + answer.contentType +
                           "\r\nConnection: close\r\n";
    if (chunkSize > 0)
        response +=
            "Transfer-Encoding: chunked\r\n\r\n" + net::EncodeChunked(answer.body, chunkSize);
    else
        response +=
            "Content-Length: " + std::to_string(answer.body.size()) + "\r\n\r\n" + answer.body;
    net::SendAll(connection.socket, response, RealClock::now() + kIoTimeout);
    shutdown(connection.socket.fd(), SHUT_WR);
}

FilterService::Answer FilterService::Route(const std::string& path, const std::string& query,
                                           const std::string& peer) {
    if (path == "/Account/LogOn.asp")
        return LogOn(query);
    if (path == "/Account/MailTag.asp")
        return MailTag();
    if (path == "/Component/getip.asp")
        return {200, "text/plain", peer};
    std::lock_guard lock(m_mutex);
    if (auto page = m_pages.find(path); page != m_pages.end())
        return page->second;
    return {404, "text/plain", "Not found"};
}

void FilterService::SetPage(const std::string& path, int status, const std::string& body) {
    std::lock_guard lock(m_mutex);
    m_pages[path] = Answer{status, "text/html; charset=utf-8", body};
}

FilterService::Answer FilterService::LogOn(const std::string& query) {
    const std::string id = net::QueryValue(query, "id").value_or("");
    const std::string password = net::QueryValue(query, "pw").value_or("");
    std::lock_guard lock(m_mutex);
    if (m_account && (id != std::to_string(m_account->first) || password != m_account->second))
        return {403, "text/plain", "Access denied"};
    const std::string server = "http://127.0.0.1:" + std::to_string(m_port);
    std::string body;
    for (const auto& [key, value] : m_values)
        body += key + "=" + ReplaceAll(ReplaceAll(value, "{server}", server), "{id}", id) + "\r\n";
    return {200, "text/plain; charset=utf-8", body};
}

FilterService::Answer FilterService::MailTag() {
    std::lock_guard lock(m_mutex);
    return {200, "text/xml; charset=utf-8",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<MailTag><PlainTxt>" +
                EscapeXml(m_footerPlain) + "</PlainTxt><HtmlTxt>" + EscapeXml(m_footerHtml) +
                "</HtmlTxt></MailTag>\r\n"};
}

}  // namespace standins::service
