#include "screens/ContentView.hpp"

#include <string>
#include <utility>

#include "app/ServiceConstants.hpp"

namespace pelunna::screens {
namespace {

constexpr double fullscreenDelaySeconds = 0.3;
constexpr double zoomStep = 0.1;
constexpr double maximumZoom = 3.0;
constexpr double minimumZoom = 0.5;

bool isCommand(const KeyEvent& event, std::string_view characters) {
    return event.command && event.charactersIgnoringModifiers == characters;
}

}  // namespace

ContentView::ContentView(MainQueue& queue, Log& log, std::function<void()> enterFullscreenAction)
    : queue_(queue), log_(log), enterFullscreenAction_(std::move(enterFullscreenAction)) {}

web::WebView& ContentView::showWebContent(Engine& engine, Alerts& alerts) {
    webView_ = std::make_unique<web::WebView>(engine, log_, alerts, std::string(service::startUrl));
    stateChanged();
    return *webView_;
}

void ContentView::onWebViewAppear(KeyMonitor& monitor) {
    log_.print("🌐 WebView appeared, entering fullscreen...");
    queue_.asyncAfter(fullscreenDelaySeconds, [action = enterFullscreenAction_] {
        if (action) {
            action();
        }
    });
    // A second appearance must not apply every shortcut twice.
    if (!keyMonitorInstalled_) {
        keyMonitorInstalled_ = true;
        monitor.addLocalMonitorForKeyDown(
            [this](const KeyEvent& event) { return handleKeyDown(event); });
    }
}

KeyDisposition ContentView::handleKeyDown(const KeyEvent& event) {
    if (event.escape) {
        log_.print("🔴 ESCAPE KEY PRESSED IN SWIFT");
        return KeyDisposition::passOn;
    }
    if (isCommand(event, "r")) {
        log_.print("🔄 Refresh triggered");
        refreshTrigger_ = !refreshTrigger_;
    } else if (isCommand(event, "=")) {
        const double zoom = zoomLevel_ + zoomStep;
        zoomLevel_ = zoom > maximumZoom ? maximumZoom : zoom;
    } else if (isCommand(event, "-")) {
        const double zoom = zoomLevel_ - zoomStep;
        zoomLevel_ = zoom <= minimumZoom ? minimumZoom : zoom;
    } else if (isCommand(event, "0")) {
        zoomLevel_ = 1.0;
    } else {
        return KeyDisposition::passOn;
    }
    stateChanged();
    return KeyDisposition::consume;
}

void ContentView::stateChanged() {
    if (webView_) {
        webView_->update(zoomLevel_, refreshTrigger_);
    }
}

}  // namespace pelunna::screens
