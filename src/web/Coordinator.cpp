#include "web/Coordinator.hpp"

#include <algorithm>
#include <utility>

#include "web/AllowedHost.hpp"

namespace pelunna::web {

Coordinator::Coordinator(Log& log, Alerts& alerts, std::string allowedDomain)
    : log_(log), alerts_(alerts), allowedDomain_(std::move(allowedDomain)) {}

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
    if (isAllowedHost(*url.host, allowedDomain_)) {
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
        requesting.loadRequest(url->absoluteString, std::nullopt);
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
