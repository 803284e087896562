// A TCP socket that closes itself, and the waits the HTTP client and the
// service stand-in share. Sockets here live in real time: a peer on the
// other side of the connection does not follow the platform's virtual clock.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace standins::net {

using RealClock = std::chrono::steady_clock;

class Socket {
  public:
    Socket() = default;
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() { Close(); }
    Socket(Socket&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int fd() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void Close();

  private:
    int m_fd = -1;
};

// A non-blocking connection to host:port, or an empty socket when no address
// of the host accepted one before the deadline.
Socket ConnectTcp(const std::string& host, const std::string& port, RealClock::time_point deadline);

// Writes every byte before the deadline; false on an error or time-out.
bool SendAll(const Socket& socket, std::string_view data, RealClock::time_point deadline);

enum class Received { Data, Closed, Failed };

// Appends what the peer sends next to `into`, waiting at most until the
// deadline. Failed covers errors and the time-out.
Received ReceiveSome(const Socket& socket, std::string& into, RealClock::time_point deadline);

}  // namespace standins::net
