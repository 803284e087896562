// The network between Outlook's machine and the filter service: a relay on
// 127.0.0.1 with a port of its own that passes each connection on to the
// service. Cut, it refuses connections as a machine without a network does;
// it can also be told to go down right after it has passed on the next
// login, so that a run logs in and then finds the network gone.
//
// One connection at a time, on a thread of its own: the request is read up
// to the end of its headers (the core's requests are GETs and ask the
// server to close), passed on, and the answer relayed until the service
// closes.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace olsim {

class NetworkLink {
  public:
    // Relays to the server at 127.0.0.1:`targetPort`.
    explicit NetworkLink(int targetPort);
    ~NetworkLink();
    NetworkLink(const NetworkLink&) = delete;
    NetworkLink& operator=(const NetworkLink&) = delete;

    // Listens on a port the system picks; false when that fails.
    bool Start();
    // "http://127.0.0.1:PORT".
    std::string Url() const;
    // Returns once the change holds; false when the port cannot be had back.
    bool SetDown(bool down);
    // The link goes down once it has relayed the next answer to a login
    // ("/Account/LogOn.asp"), before that answer reaches the caller.
    void DownAfterNextLogOn();

  private:
    // The relay's thread alone opens and closes the listener; the controls
    // say what they want and wait until it holds.
    void Serve();
    void SyncListener();  // with mutex_ held
    void Relay(int client);
    bool Listen(int port);
    void CloseListener();

    const int targetPort_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int listener_ = -1;
    int port_ = 0;
    bool stopping_ = false;
    bool wantDown_ = false;
    bool listenFailed_ = false;
    bool downAfterLogOn_ = false;
    std::thread relay_;
};

}  // namespace olsim
