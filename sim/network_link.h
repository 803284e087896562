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
    void SyncListener();  // with m_mutex held
    void Relay(int client);
    bool Listen(int port);
    void CloseListener();

    const int m_targetPort;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_listener = -1;
    int m_port = 0;
    bool m_stopping = false;
    bool m_wantDown = false;
    bool m_listenFailed = false;
    bool m_downAfterLogOn = false;
    std::thread m_relay;
};

}  // namespace olsim
