// The filter service of a run: the service stand-in started with the
// profile's account values, reached through a network link that the
// scenario can cut. Without a service ("profile service absent") the login
// server's address names a port where nothing listens.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "scenario.h"

namespace standins::service {
class FilterService;
}

namespace olsim {

class NetworkLink;

class SimService {
  public:
    explicit SimService(const ServiceProfile& profile);
    ~SimService();
    SimService(const SimService&) = delete;
    SimService& operator=(const SimService&) = delete;

    // Starts the service and its link; false with the reason in `error`.
    bool Start(std::string& error);
    // What the installation writes as the login server ("http://127.0.0.1:PORT").
    std::wstring LoginServer() const { return m_loginServer; }

    // The network between Outlook's machine and the service. False when the
    // run has no service or the link cannot be restored.
    bool SetNetworkDown(bool down);
    bool NetworkDownAfterNextLogOn();
    // Slows every answer by `delay` of real time.
    bool SetDelay(std::chrono::milliseconds delay);
    // Changes an account value for the logins from now on; no text leaves it out.
    bool SetValue(const std::string& key, const std::optional<std::string>& text);
    // One more page of the service, answered with `status` and `body` as HTML.
    bool SetPage(const std::string& path, int status, const std::string& body);

    // How many requests for `path` (without the query) the service answered.
    size_t CountOf(const std::string& path) const;
    // The paths served so far, for a report.
    std::string ServedPaths() const;

  private:
    std::string ThroughLink(std::string text) const;

    ServiceProfile m_profile;
    std::unique_ptr<standins::service::FilterService> m_service;
    std::unique_ptr<NetworkLink> m_link;
    std::wstring m_loginServer;
};

}  // namespace olsim
