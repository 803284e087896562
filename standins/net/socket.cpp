#include "net/socket.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace standins::net {
namespace {

// Milliseconds left until the deadline, for poll; 0 once it has passed.
int MillisecondsUntil(RealClock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - RealClock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 24LL * 3600 * 1000));
}

// Waits for `events` on the socket; false on a time-out or poll error.
bool WaitFor(int fd, short events, RealClock::time_point deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        int ready = poll(&entry, 1, MillisecondsUntil(deadline));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

Socket ConnectTo(const addrinfo& address, RealClock::time_point deadline) {
    Socket socket(::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                           address.ai_protocol));
    if (!socket)
        return {};
    if (connect(socket.fd(), address.ai_addr, address.ai_addrlen) == 0)
        return socket;
    if (errno != EINPROGRESS || !WaitFor(socket.fd(), POLLOUT, deadline))
        return {};
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
        return {};
    return socket;
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

void Socket::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

Socket ConnectTcp(const std::string& host, const std::string& port,
                  RealClock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0)
        return {};
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
    for (const addrinfo* address = found; address; address = address->ai_next) {
        if (Socket socket = ConnectTo(*address, deadline))
            return socket;
        if (RealClock::now() >= deadline)
            break;
    }
    return {};
}

bool SendAll(const Socket& socket, std::string_view data, RealClock::time_point deadline) {
    while (!data.empty()) {
        ssize_t sent = send(socket.fd(), data.data(), data.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            data.remove_prefix(static_cast<size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            WaitFor(socket.fd(), POLLOUT, deadline))
            continue;
        return false;
    }
    return true;
}

Received ReceiveSome(const Socket& socket, std::string& into, RealClock::time_point deadline) {
    char buffer[16384];
    for (;;) {
        ssize_t got = recv(socket.fd(), buffer, sizeof buffer, 0);
        if (got > 0) {
            into.append(buffer, static_cast<size_t>(got));
            return Received::Data;
        }
        if (got == 0)
            return Received::Closed;
        if (errno == EINTR)
            continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(socket.fd(), POLLIN, deadline))
            continue;
        return Received::Failed;
    }
}

}  // namespace standins::net
