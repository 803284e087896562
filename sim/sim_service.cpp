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

SimService::SimService(const ServiceProfile& profile) : profile_(profile) {}

SimService::~SimService() {
    link_.reset();
    if (service_)
        service_->Stop();
}

bool SimService::Start(std::string& error) {
    if (profile_.absent) {
        loginServer_ = L"http://127.0.0.1:" + std::to_wstring(ClosedPort());
        return true;
    }
    service_ = std::make_unique<standins::service::FilterService>();
    if (!service_->Start()) {
        error = "the filter service could not start";
        return false;
    }
    link_ = std::make_unique<NetworkLink>(PortOf(service_->Url()));
    if (!link_->Start()) {
        error = "the network link to the filter service could not start";
        return false;
    }
    loginServer_ = Widen(link_->Url());
    // The service's own links go through the link too, so that cutting it
    // cuts everything the add-in fetches.
    for (const auto& [key, value] : service_->Values())
        if (value.find("{server}") != std::string::npos)
            SetValue(key, value);
    for (const auto& [key, text] : profile_.values)
        SetValue(key, text);
    return true;
}

bool SimService::SetNetworkDown(bool down) {
    return link_ && link_->SetDown(down);
}

bool SimService::NetworkDownAfterNextLogOn() {
    if (!link_)
        return false;
    link_->DownAfterNextLogOn();
    return true;
}

bool SimService::SetDelay(std::chrono::milliseconds delay) {
    if (!service_)
        return false;
    service_->SetDelay(delay);
    return true;
}

bool SimService::SetValue(const std::string& key, const std::optional<std::string>& text) {
    if (!service_)
        return false;
    if (text)
        service_->Set(key, ThroughLink(*text));
    else
        service_->Remove(key);
    return true;
}

bool SimService::SetPage(const std::string& path, int status, const std::string& body) {
    if (!service_)
        return false;
    service_->SetPage(path, status, body);
    return true;
}

// "{server}" in a value stands for the service; here it is the link to it.
std::string SimService::ThroughLink(std::string text) const {
    const std::string link = link_ ? link_->Url() : service_->Url();
    for (size_t at; (at = text.find("{server}")) != std::string::npos;)
        text.replace(at, 8, link);
    return text;
}

size_t SimService::CountOf(const std::string& path) const {
    return service_ ? service_->CountOf(path) : 0;
}

std::string SimService::ServedPaths() const {
    if (!service_)
        return "there is no service in this run";
    std::string paths;
    for (const auto& request : service_->Requests())
        paths += (paths.empty() ? "" : ", ") + request.path + " (" +
                 std::to_string(request.status) + ")";
    return paths.empty() ? "no request was served" : "served: " + paths;
}

}  // namespace olsim
