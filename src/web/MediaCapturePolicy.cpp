#include "web/MediaCapturePolicy.hpp"

#include <utility>

#include "web/AllowedHost.hpp"

namespace pelunna::web {
namespace {

std::string describe(MediaCaptureType type) {
    switch (type) {
        case MediaCaptureType::camera:
            return "camera";
        case MediaCaptureType::microphone:
            return "microphone";
        case MediaCaptureType::cameraAndMicrophone:
            return "camera and microphone";
        case MediaCaptureType::screen:
            return "screen";
    }
    return "unknown";
}

AlertSpec microphoneDeniedAlert() {
    return {"Microphone Access Required",
            "This web page needs microphone access, but it was previously denied. Please enable "
            "it via the Pelunna menu > Microphone Permission, or in System Settings > Privacy & "
            "Security > Microphone.",
            {"OK"},
            std::nullopt};
}

}  // namespace

MediaCapturePolicy::MediaCapturePolicy(WebServices services, std::string allowedDomain)
    : services_(services), allowedDomain_(std::move(allowedDomain)) {}

bool MediaCapturePolicy::isAllowed(const std::string& host) const {
    return isAllowedHost(host, allowedDomain_);
}

void MediaCapturePolicy::request(const std::optional<std::string>& originHost,
                                 MediaCaptureType type,
                                 std::function<void(bool grant)> decisionHandler) {
    Log& log = services_.log;
    if (!originHost || !isAllowed(*originHost)) {
        log.print("❌ Denying media capture for: " + originHost.value_or(""));
        decisionHandler(false);
        return;
    }
    log.print("🎤 Media capture requested by: " + *originHost + ", type: " + describe(type));
    // The learner consented to the microphone only: the camera and the screen stay closed.
    if (type == MediaCaptureType::camera || type == MediaCaptureType::cameraAndMicrophone) {
        log.print("❌ Camera capture is not permitted, denying WebKit");
        decisionHandler(false);
        return;
    }
    if (type == MediaCaptureType::screen) {
        log.print("❌ Screen capture is not permitted, denying WebKit");
        decisionHandler(false);
        return;
    }
    const std::weak_ptr<char> alive = alive_;
    switch (services_.microphone.authorizationStatus()) {
        case MicrophoneStatus::restricted:
        case MicrophoneStatus::denied:
            log.print("❌ OS mic denied/restricted, denying WebKit");
            decisionHandler(false);
            // Shown once the engine holds the denial.
            services_.queue.async([this, alive] {
                if (!alive.expired()) {
                    services_.alerts.runModal(microphoneDeniedAlert(), [](const AlertResponse&) {});
                }
            });
            return;
        case MicrophoneStatus::notDetermined:
            services_.microphone.requestAccess(
                [this, alive, decisionHandler = std::move(decisionHandler)](bool granted) {
                    if (alive.expired()) {
                        return;
                    }
                    services_.queue.async([this, alive, decisionHandler, granted] {
                        if (alive.expired()) {
                            return;
                        }
                        services_.log.print(granted ? "✅ OS mic just authorized, granting to WebKit"
                                                    : "❌ OS mic denied by user");
                        decisionHandler(granted);
                    });
                });
            return;
        case MicrophoneStatus::authorized:
            log.print("✅ OS mic authorized, granting to WebKit");
            decisionHandler(true);
            return;
    }
}

bool MediaCapturePolicy::allowsDeviceInformation(
    const std::optional<std::string>& originHost) const {
    return originHost && isAllowed(*originHost) &&
           services_.microphone.authorizationStatus() == MicrophoneStatus::authorized;
}

}  // namespace pelunna::web
