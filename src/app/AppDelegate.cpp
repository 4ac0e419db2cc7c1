#include "app/AppDelegate.hpp"

#include <string>
#include <utility>

#include "app/ServiceConstants.hpp"

namespace pelunna::app {
namespace {

constexpr double reenterFullscreenDelaySeconds = 0.3;
constexpr double restoreLockDelaySeconds = 1.0;
constexpr Rect fallbackScreenFrame{{1200, 800}};

// The toggle resizes the window, which it may only do while the window is resizable.
void makeResizable(Window& window) {
    if ((window.styleMask() & StyleMask::resizable) == 0) {
        window.setStyleMask(window.styleMask() | StyleMask::resizable);
    }
}

}  // namespace

AppDelegate::AppDelegate(AppServices services, IdleResetTimes idle)
    : services_(services),
      queue_(services.queue),
      log_(services.log),
      idleReset_(
          services.queue, services.log, *this,
          idle.minutes ? std::optional(*idle.minutes * 60 * idle.secondSeconds) : std::nullopt,
          idle.secondSeconds) {}

void AppDelegate::applicationDidFinishLaunching() {
    setupMainWindow();
}

void AppDelegate::buildMainMenu() {
    services_.windowSystem.setMainMenu({
        {"Microphone Permission", microphonePermissionAction, "<Control><Shift>m"},
        {"", "", ""},
        {"Quit", quitAction, "<Control>q"},
    });
}

void AppDelegate::setupMainWindow() {
    buildMainMenu();
    WindowSettings settings;
    settings.contentRect = services_.windowSystem.mainScreenFrame().value_or(fallbackScreenFrame);
    settings.styleMask = StyleMask::titled | StyleMask::closable | StyleMask::resizable |
                         StyleMask::fullSizeContentView;
    settings.titlebarAppearsTransparent = true;
    settings.titleHidden = true;
    settings.miniaturizeButtonHidden = true;
    settings.zoomButtonHidden = true;
    auto window = services_.windowSystem.createWindow(settings);

    // The root view reaches the delegate only through this action, which must not keep it alive.
    std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    const screens::ContentViewServices contentServices{queue_, log_, services_.microphone,
                                                       services_.workspace, services_.alerts};
    web::ServiceConfig site{std::string(service::allowedDomain), std::string(service::startUrl),
                            std::string(service::applicationNameForUserAgent)};
    contentView_ =
        std::make_unique<screens::ContentView>(contentServices, std::move(site), [weakSelf] {
            if (auto self = weakSelf.lock()) {
                self->enterFullscreen();
                // A learner's lab: from now on an idle seat starts over.
                self->idleReset_.labShown();
            }
        });
    window->setContentView(*contentView_);
    window->setDelegate(this);
    mainWindow_ = std::move(window);
    mainWindow_->makeKeyAndOrderFront();
}

void AppDelegate::applicationShouldHandleReopen(bool /*hasVisibleWindows*/) {
    if (mainWindow_) {
        mainWindow_->makeKeyAndOrderFront();
    }
}

void AppDelegate::applicationWillTerminate(std::function<void()> finished) {
    auto once = std::make_shared<std::function<void()>>(std::move(finished));
    auto finish = [once] {
        if (*once) {
            std::exchange(*once, nullptr)();
        }
    };
    idleReset_.quitting();
    // A page that spins or keeps writing must not hold the quit up.
    if (contentView_) {
        contentView_->endPageProcesses();
    }
    // A shared lab computer must not keep the learner's data: wait for the removal, bounded.
    services_.dataStore.removeData(WebsiteDataTypes::all, [this, finish] {
        log_.print("✅ All website data cleared on quit");
        finish();
    });
    queue_.asyncAfter(terminationClearingBoundSeconds, finish);
}

void AppDelegate::enterFullscreen() {
    if (!mainWindow_) {
        return;
    }
    makeResizable(*mainWindow_);
    if (mainWindow_->isFullScreen()) {
        return;
    }
    log_.print("🖥️ Entering fullscreen, styleMask: " +
               std::to_string(mainWindow_->styleMask()));
    mainWindow_->toggleFullScreen();
}

void AppDelegate::windowDidEnterFullScreen(const std::shared_ptr<Window>& window) {
    log_.print("✅ windowDidEnterFullScreen");
    if (window) {
        window->setStyleMask(window->styleMask() & ~StyleMask::resizable);
    }
}

void AppDelegate::windowWillExitFullScreen(const std::shared_ptr<Window>& window) {
    log_.print(std::string("⚠️ windowWillExitFullScreen, allowExit: ") +
               (allowFullscreenExit ? "true" : "false"));
    if (allowFullscreenExit || !window) {
        return;
    }
    queue_.asyncAfter(reenterFullscreenDelaySeconds, [this, window] { reenterFullscreen(window); });
}

void AppDelegate::reenterFullscreen(const std::shared_ptr<Window>& window) {
    if (window->isFullScreen()) {
        return;
    }
    makeResizable(*window);
    window->toggleFullScreen();
}

bool AppDelegate::windowShouldClose(Window& /*window*/) {
    return true;
}

void AppDelegate::showCountdown(std::string_view headline, std::string_view hint) {
    if (mainWindow_) {
        mainWindow_->showNotice(Notice{std::string(headline), std::string(hint)});
    }
}

void AppDelegate::hideCountdown() {
    if (mainWindow_) {
        mainWindow_->showNotice(std::nullopt);
    }
}

void AppDelegate::startOver() {
    if (!contentView_) {
        return;
    }
    // Nothing of the last learner may run on, or be written, while their data goes.
    contentView_->leaveLab();
    auto once = std::make_shared<bool>(false);
    const std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    auto showPermissionScreen = [weakSelf, once] {
        if (auto self = weakSelf.lock(); self && !std::exchange(*once, true)) {
            self->contentView_->returnToPermissionScreen();
        }
    };
    services_.dataStore.removeData(WebsiteDataTypes::all, showPermissionScreen);
    queue_.asyncAfter(terminationClearingBoundSeconds, showPermissionScreen);
}

void AppDelegate::requestMicrophonePermission() {
    switch (services_.microphone.authorizationStatus()) {
        case MicrophoneStatus::restricted:
        case MicrophoneStatus::denied:
            services_.alerts.runModal(
                {"Microphone Access Denied",
                 "Microphone permission was previously denied. Click \"Open Settings\" to enable "
                 "it in System Settings > Privacy & Security > Microphone.\n\nAfter enabling it, "
                 "you may need to restart the app.",
                 {"Open Settings", "Cancel"},
                 std::nullopt},
                [this](const AlertResponse& response) {
                    if (response.code == AlertResponse::firstButton) {
                        services_.workspace.openMicrophoneSettings();
                    }
                });
            return;
        case MicrophoneStatus::authorized:
            services_.alerts.runModal(
                {"Microphone Already Enabled",
                 "Microphone access is already granted. Web pages on " +
                     std::string(service::allowedDomain) + " can use your microphone.",
                 {"OK"},
                 std::nullopt},
                [](const AlertResponse&) {});
            return;
        case MicrophoneStatus::notDetermined:
            break;
    }
    // The desktop's prompt must not fight the full-screen lock: lift it until after the answer.
    allowFullscreenExit = true;
    bool leftFullscreen = false;
    if (mainWindow_ && mainWindow_->isFullScreen()) {
        makeResizable(*mainWindow_);
        mainWindow_->toggleFullScreen();
        leftFullscreen = true;
    }
    queue_.asyncAfter(leftFullscreen ? 1.0 : 0.1,
                      [this, leftFullscreen] { requestMicrophoneAccess(leftFullscreen); });
}

void AppDelegate::requestMicrophoneAccess(bool leftFullscreen) {
    services_.microphone.requestAccess([this, leftFullscreen](bool granted) {
        queue_.async([this, granted, leftFullscreen] {
            handleMicrophoneAccessResult(granted, leftFullscreen);
        });
    });
}

void AppDelegate::handleMicrophoneAccessResult(bool granted, bool leftFullscreen) {
    log_.print(granted ? "✅ Mic granted" : "❌ Mic denied");
    if (leftFullscreen && (!mainWindow_ || !mainWindow_->isFullScreen())) {
        enterFullscreen();
    }
    queue_.asyncAfter(restoreLockDelaySeconds, [this] { allowFullscreenExit = false; });
}

}  // namespace pelunna::app
