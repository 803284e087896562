#include "sim_service.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <service/service_standin.h>

#include "network_link.h"
#include "text.h"

namespace olsim {
namespace {

// A port on the loopback address where nothing listens.
int ClosedPort() {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 9;  // discard: closed on a machine that runs no such service
    if (probe >= 0 && bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (probe >= 0)
        close(probe);
    return port;
}

int PortOf(const std::string& url) {
    return std::stoi(url.substr(url.rfind(':') + 1));
}

}  // namespace

SimService::SimService(const ServiceProfile& profile) : m_profile(profile) {}

SimService::~SimService() {
    m_link.reset();
    if (m_service)
        m_service->Stop();
}

bool SimService::Start(std::string& error) {
    if (m_profile.absent) {
        m_loginServer = L"http://127.0.0.1:" + std::to_wstring(ClosedPort());
        return true;
    }
    m_service = std::make_unique<standins::service::FilterService>();
    if (!m_service->Start()) {
        error = "the filter service could not start";
        return false;
    }
    m_link = std::make_unique<NetworkLink>(PortOf(m_service->Url()));
    if (!m_link->Start()) {
        error = "the network link to the filter service could not start";
        return false;
    }
    m_loginServer = Widen(m_link->Url());
    // The service's own links go through the link too, so that cutting it
    // cuts everything the add-in fetches.
    for (const auto& [key, value] : m_service->Values())
        if (value.find("{server}") != std::string::npos)
            SetValue(key, value);
    for (const auto& [key, text] : m_profile.values)
        SetValue(key, text);
    return true;
}

bool SimService::SetNetworkDown(bool down) {
    return m_link && m_link->SetDown(down);
}

bool SimService::NetworkDownAfterNextLogOn() {
    if (!m_link)
        return false;
    m_link->DownAfterNextLogOn();
    return true;
}

bool SimService::SetDelay(std::chrono::milliseconds delay) {
    if (!m_service)
        return false;
    m_service->SetDelay(delay);
    return true;
}

bool SimService::SetValue(const std::string& key, const std::optional<std::string>& text) {
    if (!m_service)
        return false;
    if (text)
        m_service->Set(key, ThroughLink(*text));
    else
        m_service->Remove(key);
    return true;
}

bool SimService::SetPage(const std::string& path, int status, const std::string& body) {
    if (!m_service)
        return false;
    m_service->SetPage(path, status, body);
    return true;
}

// "{server}" in a value stands for the service; here it is the link to it.
std::string SimService::ThroughLink(std::string text) const {
    const std::string link = m_link ? m_link->Url() : m_service->Url();
    for (size_t at; (at = text.find("{server}")) != std::string::npos;)
        text.replace(at, 8, link);
    return text;
}

size_t SimService::CountOf(const std::string& path) const {
    return m_service ? m_service->CountOf(path) : 0;
}

std::string SimService::ServedPaths() const {
    if (!m_service)
        return "there is no service in this run";
    std::string paths;
    for (const auto& request : m_service->Requests())
        paths += (paths.empty() ? "" : ", ") + request.path + " (" +
                 std::to_string(request.status) + ")";
    return paths.empty() ? "no request was served" : "served: " + paths;
}

}  // namespace olsim
