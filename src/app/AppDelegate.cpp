#include "app/AppDelegate.hpp"

#include <string>
#include <utility>

namespace pelunna::app {
namespace {

constexpr double reenterFullscreenDelaySeconds = 0.3;
constexpr Rect fallbackScreenFrame{0, 0, {1200, 800}};

}  // namespace

AppDelegate::AppDelegate(MainQueue& queue, Log& log, WindowSystem& windowSystem,
                         WebsiteDataStore& dataStore)
    : queue_(queue), log_(log), windowSystem_(windowSystem), dataStore_(dataStore) {}

void AppDelegate::applicationDidFinishLaunching() {
    setupMainWindow();
}

void AppDelegate::setupMainWindow() {
    WindowSettings settings;
    settings.contentRect = windowSystem_.mainScreenFrame().value_or(fallbackScreenFrame);
    settings.styleMask = StyleMask::titled | StyleMask::closable | StyleMask::resizable |
                         StyleMask::fullSizeContentView;
    settings.titlebarAppearsTransparent = true;
    settings.titleHidden = true;
    settings.miniaturizeButtonHidden = true;
    settings.zoomButtonHidden = true;
    settings.tabbingDisallowed = true;
    settings.fullScreenPrimary = true;
    auto window = windowSystem_.createWindow(settings);

    // The root view reaches the delegate only through this action, which must not keep it alive.
    std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    contentView_ = std::make_unique<screens::ContentView>(queue_, log_, [weakSelf] {
        if (auto self = weakSelf.lock()) {
            self->enterFullscreen();
        }
    });
    window->setContentView(*contentView_);
    window->setDelegate(this);
    mainWindow_ = std::move(window);
    mainWindow_->makeKeyAndOrderFront();
    windowSystem_.activateIgnoringOtherApps();
}

bool AppDelegate::applicationShouldHandleReopen(bool /*hasVisibleWindows*/) {
    if (mainWindow_) {
        mainWindow_->makeKeyAndOrderFront();
    }
    return false;
}

void AppDelegate::applicationWillTerminate(std::function<void()> finished) {
    auto once = std::make_shared<std::function<void()>>(std::move(finished));
    auto finish = [once] {
        if (*once) {
            std::exchange(*once, nullptr)();
        }
    };
    // A shared lab computer must not keep the learner's data: wait for the removal, bounded.
    dataStore_.removeData(WebsiteDataTypes::all, [this, finish] {
        log_.print("✅ All website data cleared on quit");
        finish();
    });
    queue_.asyncAfter(terminationClearingBoundSeconds, finish);
}

void AppDelegate::enterFullscreen() {
    if (!mainWindow_) {
        return;
    }
    if ((mainWindow_->styleMask() & StyleMask::resizable) == 0) {
        mainWindow_->setStyleMask(mainWindow_->styleMask() | StyleMask::resizable);
    }
    if (mainWindow_->isFullScreen()) {
        return;
    }
    log_.print("🖥️ Entering fullscreen, styleMask: " +
               std::to_string(mainWindow_->styleMask()));
    mainWindow_->toggleFullScreen();
}

std::uint64_t AppDelegate::willUseFullScreenPresentationOptions(std::uint64_t /*proposed*/) {
    return fullScreenPresentationOptions;
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
    if ((window->styleMask() & StyleMask::resizable) == 0) {
        window->setStyleMask(window->styleMask() | StyleMask::resizable);
    }
    window->toggleFullScreen();
}

Size AppDelegate::windowWillResize(Window& window, Size proposed) {
    return window.isFullScreen() ? window.frameSize() : proposed;
}

bool AppDelegate::windowShouldClose(Window& /*window*/) {
    return true;
}

}  // namespace pelunna::app
