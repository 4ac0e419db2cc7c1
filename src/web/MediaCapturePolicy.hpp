#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ports/Engine.hpp"
#include "web/WebServices.hpp"

namespace pelunna::web {

// Decides a page's media capture: only the service's pages, only the microphone, and only as
// the desktop decides, asking it when it has not; a denied microphone is explained once the
// engine holds the denial.
class MediaCapturePolicy {
public:
    MediaCapturePolicy(WebServices services, std::string allowedDomain);

    void request(const std::optional<std::string>& originHost, MediaCaptureType type,
                 std::function<void(bool grant)> decisionHandler);
    // Device names follow the microphone decision.
    [[nodiscard]] bool allowsDeviceInformation(const std::optional<std::string>& originHost) const;

private:
    [[nodiscard]] bool isAllowed(const std::string& host) const;

    WebServices services_;
    std::string allowedDomain_;
    // What the queued work and the desktop's answer check first: once this is gone, they do
    // nothing.
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace pelunna::web
