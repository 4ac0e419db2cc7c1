#include "screens/ContentView.hpp"

#include <utility>

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

ContentView::ContentView(ContentViewServices services, web::ServiceConfig service,
                         std::function<void()> enterFullscreenAction)
    : services_(services),
      service_(std::move(service)),
      micStatus_(services.microphone.authorizationStatus()),
      enterFullscreenAction_(std::move(enterFullscreenAction)),
      permissionView_(
          Binding<MicrophoneStatus>{[this] { return micStatus_; },
                                    [this](MicrophoneStatus status) {
                                        micStatus_ = status;
                                        render();
                                    }},
          [this] {
              micPermissionResolved_ = true;
              render();
          },
          services.microphone, services.workspace, services.queue) {}

void ContentView::attach(ContentHost& host, Engine& engine) {
    host_ = &host;
    engine_ = &engine;
    render();
}

void ContentView::render() {
    if (host_ == nullptr) {
        return;
    }
    if (!micPermissionResolved_) {
        host_->showPermissionScreen(permissionView_);
        return;
    }
    const bool firstShow = !webView_;
    if (firstShow) {
        webView_ =
            std::make_unique<web::WebView>(*engine_,
                                           web::WebServices{services_.log, services_.alerts,
                                                            services_.microphone, services_.queue},
                                           service_);
    }
    webView_->update(zoomLevel_, refreshTrigger_);
    if (firstShow) {
        host_->showWebContent();
    }
}

void ContentView::onWebViewAppear(KeyMonitor& monitor) {
    services_.log.print("🌐 WebView appeared, entering fullscreen...");
    services_.queue.asyncAfter(fullscreenDelaySeconds, [action = enterFullscreenAction_] {
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

void ContentView::endPageProcesses() {
    if (webView_) {
        webView_->endPageProcesses();
    }
}

void ContentView::leaveLab() {
    if (webView_) {
        webView_->dismissDialogs();
        webView_->endPageProcesses();
        webView_.reset();
    }
}

void ContentView::returnToPermissionScreen() {
    zoomLevel_ = 1.0;
    refreshTrigger_ = false;
    micStatus_ = services_.microphone.authorizationStatus();
    micPermissionResolved_ = false;
    render();
}

KeyDisposition ContentView::handleKeyDown(const KeyEvent& event) {
    if (event.escape) {
        services_.log.print("🔴 ESCAPE KEY PRESSED IN SWIFT");
        return KeyDisposition::passOn;
    }
    if (isCommand(event, "r")) {
        services_.log.print("🔄 Refresh triggered");
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
    render();
    return KeyDisposition::consume;
}

}  // namespace pelunna::screens
