// The filter service the core talks to: a small HTTP/1.1 server on
// 127.0.0.1 with a port of its own, serving on a thread of its own.
//
//   /Account/LogOn.asp?id=N&pw=P   the account values as "Key=Value" lines;
//                                  403 for a wrong identity or password when
//                                  an account is configured
//   /Account/MailTag.asp           the footer document
//                                  <MailTag><PlainTxt>..</PlainTxt><HtmlTxt>..</HtmlTxt></MailTag>
//   /Component/getip.asp           the caller's address as the server sees it
//
// Every control is thread-safe and takes effect for the next connection.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace standins::service {

struct ServedRequest {
    std::string path;   // without the query
    std::string query;  // as it came, still percent-encoded
    int status = 0;     // what the server answered
};

class FilterService {
  public:
    FilterService();
    ~FilterService();  // stops
    FilterService(const FilterService&) = delete;
    FilterService& operator=(const FilterService&) = delete;

    // Listens on 127.0.0.1 with a port the system picks; false when that
    // fails or the service runs already.
    bool Start();
    // "http://127.0.0.1:PORT"; empty before Start.
    std::string Url() const;
    // Closes the listener, ends the answers under way and waits for them.
    void Stop();

    // Down, the listener is closed and connections are refused, as when the
    // network is down; up again, the service listens on the same port.
    // Returns once the change holds; false when the port cannot be had back.
    bool SetDown(bool down);
    // Every answer waits this long (real time) before it is sent.
    void SetDelay(std::chrono::milliseconds delay);
    // Bodies are sent in chunks of this many bytes with chunked coding;
    // 0 (the default) sends them whole with a Content-Length.
    void SetChunkSize(size_t bytes);

    // The LogOn values. In a value, "{server}" stands for Url() and "{id}"
    // for the identity the request carries.
    void Set(const std::string& key, const std::string& value);
    void Remove(const std::string& key);  // the value is left out of the answer
    std::map<std::string, std::string> Values() const;
    // Accepts only this identity and password from now on; without it any
    // request gets the values.
    void SetAccount(unsigned identity, const std::string& password);

    // The footer texts; they are escaped into the document.
    void SetFooter(const std::string& plain, const std::string& html);
    // One more page, served as given (a portal's page, an error): `path`
    // without a query, answered with that status and an HTML body.
    void SetPage(const std::string& path, int status, const std::string& body);

    std::vector<ServedRequest> Requests() const;
    // How many requests for `path` were answered.
    size_t CountOf(const std::string& path) const;

  private:
    struct Connection;
    struct Answer {
        int status = 200;
        std::string contentType = "text/plain; charset=utf-8";
        std::string body;
    };

    void Serve();
    bool SyncListener(std::unique_lock<std::mutex>& lock);
    void Handle(Connection& connection);
    Answer Route(const std::string& path, const std::string& query, const std::string& peer);
    Answer LogOn(const std::string& query);
    Answer MailTag();
    bool WaitDelay();
    void Wake();
    void ReapFinished();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_listener = -1;
    int m_wakeFd = -1;
    int m_port = 0;
    bool m_running = false;
    bool m_stopping = false;
    bool m_wantDown = false;
    bool m_isDown = false;
    bool m_listenFailed = false;

    std::chrono::milliseconds m_delay{0};
    size_t m_chunkSize = 0;
    std::map<std::string, std::string> m_values;
    std::optional<std::pair<unsigned, std::string>> m_account;
    std::string m_footerPlain;
    std::string m_footerHtml;
    std::map<std::string, Answer> m_pages;
    std::vector<ServedRequest> m_served;

    std::thread m_server;
    std::vector<std::unique_ptr<Connection>> m_connections;  // accessed by the server thread
};

}  // namespace standins::service
