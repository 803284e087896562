#include "network_link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace olsim {
namespace {

// Longer than the core's own 8 seconds for a whole answer, so that a slow
// service is seen by the core as the core sees one, not cut off by the link.
constexpr int kIoTimeoutMs = 10000;
constexpr int kPollMs = 50;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Waits for the socket to be readable (or writable); false on a time-out.
bool Ready(int socket, short events) {
    pollfd entry{socket, events, 0};
    return poll(&entry, 1, kIoTimeoutMs) > 0;
}

bool SendAll(int socket, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        if (!Ready(socket, POLLOUT))
            return false;
        const ssize_t n = send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Reads until `complete` says the text is whole, the peer closes, or time runs out.
template <class Complete>
std::string Receive(int socket, Complete complete) {
    std::string text;
    char buffer[4096];
    while (!complete(text) && Ready(socket, POLLIN)) {
        const ssize_t n = recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

}  // namespace

NetworkLink::NetworkLink(int targetPort) : m_targetPort(targetPort) {}

NetworkLink::~NetworkLink() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_relay.joinable())
        m_relay.join();
    CloseListener();
}

bool NetworkLink::Listen(int port) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return false;
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = Loopback(port);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(listener);
        return false;
    }
    m_listener = listener;
    m_port = ntohs(address.sin_port);
    return true;
}

void NetworkLink::CloseListener() {
    if (m_listener >= 0)
        close(m_listener);
    m_listener = -1;
}

bool NetworkLink::Start() {
    std::lock_guard lock(m_mutex);
    if (m_relay.joinable() || !Listen(0))
        return false;
    m_relay = std::thread([this] { Serve(); });
    return true;
}

std::string NetworkLink::Url() const {
    std::lock_guard lock(m_mutex);
    return "http://127.0.0.1:" + std::to_string(m_port);
}

bool NetworkLink::SetDown(bool down) {
    std::unique_lock lock(m_mutex);
    m_downAfterLogOn = false;
    m_wantDown = down;
    m_listenFailed = false;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return (m_listener < 0) == m_wantDown || m_listenFailed; });
    return !m_listenFailed;
}

void NetworkLink::DownAfterNextLogOn() {
    std::lock_guard lock(m_mutex);
    m_downAfterLogOn = true;
}

void NetworkLink::SyncListener() {
    if (m_wantDown && m_listener >= 0)
        CloseListener();
    else if (!m_wantDown && m_listener < 0 && !m_listenFailed)
        m_listenFailed = !Listen(m_port);
    m_changed.notify_all();
}

void NetworkLink::Serve() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        SyncListener();
        if (m_listener < 0) {
            m_changed.wait_for(lock, std::chrono::milliseconds(kPollMs));
            continue;
        }
        const int listener = m_listener;
        lock.unlock();
        pollfd entry{listener, POLLIN, 0};
        const bool incoming = poll(&entry, 1, kPollMs) > 0 && (entry.revents & POLLIN);
        const int client = incoming ? accept4(listener, nullptr, nullptr, SOCK_CLOEXEC) : -1;
        if (client >= 0) {
            Relay(client);
            close(client);
        }
        lock.lock();
    }
}

void NetworkLink::Relay(int client) {
    const std::string request = Receive(
        client, [](const std::string& text) { return text.find("\r\n\r\n") != std::string::npos; });
    const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (server < 0)
        return;
    sockaddr_in address = Loopback(m_targetPort);
    std::string answer;
    if (connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        SendAll(server, request))
        answer = Receive(server, [](const std::string&) { return false; });
    close(server);
    // The cut comes before the caller has its answer, so nothing it does
    // next can get through.
    const bool logOn = request.rfind("GET /Account/LogOn.asp", 0) == 0;
    {
        std::lock_guard lock(m_mutex);
        if (logOn && m_downAfterLogOn) {
            m_downAfterLogOn = false;
            m_wantDown = true;
            SyncListener();
        }
    }
    SendAll(client, answer);
}

}  // namespace olsim
