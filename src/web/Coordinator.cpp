#include "web/Coordinator.hpp"

#include <algorithm>
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

Coordinator::Coordinator(WebServices services, std::string allowedDomain)
    : services_(services),
      log_(services.log),
      alerts_(services.alerts),
      allowedDomain_(std::move(allowedDomain)) {}

bool Coordinator::isAllowed(const std::optional<std::string>& host) const {
    return host && isAllowedHost(*host, allowedDomain_);
}

void Coordinator::didReceiveScriptMessage(std::string_view name,
                                          const std::optional<std::string>& body) {
    if (name != "logging" || !body) {
        return;
    }
    log_.print("📱 WebView Console: " + *body);
}

NavigationPolicy Coordinator::decidePolicyForNavigationAction(const NavigationAction& action) {
    if (!action.url || !action.url->host) {
        return NavigationPolicy::cancel;
    }
    const Url& url = *action.url;
    log_.print("Navigation to: " + url.absoluteString);
    if (url.fragment) {
        log_.print("📍 Current hash: #" + *url.fragment);
    }
    if (isAllowed(url.host)) {
        log_.print("✅ Allowing navigation to: " + *url.host);
        return NavigationPolicy::allow;
    }
    log_.print("❌ Blocking navigation to: " + *url.host);
    return NavigationPolicy::cancel;
}

EngineView* Coordinator::createWebView(EngineView& requesting, const NavigationAction& action) {
    const std::optional<Url>& url = action.url;
    if (url && url->host && isAllowedHost(*url->host, allowedDomain_)) {
        log_.print("✅ Allowing popup for: " + *url->host);
        popups_.push_back(requesting.makePopup());
        return popups_.back().get();
    }
    // A new-window request for a foreign host is judged once more where it came from, which
    // blocks it with its log lines. One without a host would only be cancelled silently there,
    // so it is not sent at all: the page must never be swapped for a blank one.
    if (!action.hasTargetFrame && url && url->host) {
        requesting.loadRequest(url->absoluteString, std::nullopt,
                               CachePolicy::useProtocolCachePolicy);
    }
    return nullptr;
}

void Coordinator::webViewDidClose(EngineView& view) {
    const auto popup = std::find_if(popups_.begin(), popups_.end(),
                                    [&view](const auto& open) { return open.get() == &view; });
    if (popup == popups_.end()) {
        return;
    }
    log_.print("✅ Popup closed");
    popups_.erase(popup);
}

void Coordinator::didFinishNavigation(EngineView& view) {
    log_.print("✅ Page loaded successfully: " + view.currentUrl().value_or("unknown"));
}

void Coordinator::didFailNavigation(const std::string& description) {
    log_.print("❌ Navigation failed: " + description);
}

void Coordinator::didFailProvisionalNavigation(const std::string& description) {
    log_.print("❌ Provisional navigation failed: " + description);
}

void Coordinator::requestMediaCapturePermission(const std::optional<std::string>& originHost,
                                                MediaCaptureType type,
                                                std::function<void(bool grant)> decisionHandler) {
    if (!originHost || !isAllowedHost(*originHost, allowedDomain_)) {
        log_.print("❌ Denying media capture for: " + originHost.value_or(""));
        decisionHandler(false);
        return;
    }
    log_.print("🎤 Media capture requested by: " + *originHost + ", type: " + describe(type));
    // The learner consented to the microphone only: the camera and the screen stay closed.
    if (type == MediaCaptureType::camera || type == MediaCaptureType::cameraAndMicrophone) {
        log_.print("❌ Camera capture is not permitted, denying WebKit");
        decisionHandler(false);
        return;
    }
    if (type == MediaCaptureType::screen) {
        log_.print("❌ Screen capture is not permitted, denying WebKit");
        decisionHandler(false);
        return;
    }
    switch (services_.microphone.authorizationStatus()) {
        case MicrophoneStatus::restricted:
        case MicrophoneStatus::denied:
            log_.print("❌ OS mic denied/restricted, denying WebKit");
            decisionHandler(false);
            // Shown once the engine holds the denial.
            services_.queue.async(
                [this] { alerts_.runModal(microphoneDeniedAlert(), [](const AlertResponse&) {}); });
            return;
        case MicrophoneStatus::notDetermined:
            services_.microphone.requestAccess(
                [this, decisionHandler = std::move(decisionHandler)](bool granted) {
                    services_.queue.async([this, decisionHandler, granted] {
                        log_.print(granted ? "✅ OS mic just authorized, granting to WebKit"
                                           : "❌ OS mic denied by user");
                        decisionHandler(granted);
                    });
                });
            return;
        case MicrophoneStatus::authorized:
            log_.print("✅ OS mic authorized, granting to WebKit");
            decisionHandler(true);
            return;
        default:
            decisionHandler(false);
            return;
    }
}

bool Coordinator::allowsDeviceInformation(const std::optional<std::string>& originHost) {
    return isAllowed(originHost) &&
           services_.microphone.authorizationStatus() == MicrophoneStatus::authorized;
}

void Coordinator::runJavaScriptAlertPanel(const std::string& message,
                                          std::function<void()> completion) {
    alerts_.runModal({message, "", {"OK"}, std::nullopt},
                     [completion = std::move(completion)](const AlertResponse&) { completion(); });
}

void Coordinator::runJavaScriptConfirmPanel(const std::string& message,
                                            std::function<void(bool)> completion) {
    alerts_.runModal({message, "", {"OK", "Cancel"}, std::nullopt},
                     [completion = std::move(completion)](const AlertResponse& response) {
                         completion(response.code == AlertResponse::firstButton);
                     });
}

void Coordinator::runJavaScriptTextInputPanel(
    const std::string& prompt, const std::optional<std::string>& defaultText,
    std::function<void(std::optional<std::string>)> completion) {
    alerts_.runModal({prompt, "", {"OK", "Cancel"}, defaultText.value_or("")},
                     [completion = std::move(completion)](const AlertResponse& response) {
                         if (response.code == AlertResponse::firstButton) {
                             completion(response.textFieldValue);
                         } else {
                             completion(std::nullopt);
                         }
                     });
}

}  // namespace pelunna::web
