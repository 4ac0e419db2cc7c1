#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Alerts.hpp"
#include "platform/Log.hpp"
#include "platform/MainQueue.hpp"
#include "platform/MicrophoneAuthorization.hpp"
#include "platform/WebsiteDataStore.hpp"
#include "platform/Window.hpp"
#include "platform/WindowSystem.hpp"
#include "platform/Workspace.hpp"
#include "screens/ContentView.hpp"

namespace pelunna::app {

// Everything the application delegate needs from outside.
struct AppServices {
    MainQueue& queue;
    Log& log;
    WindowSystem& windowSystem;
    WebsiteDataStore& dataStore;
    MicrophoneAuthorization& microphone;
    Alerts& alerts;
    Workspace& workspace;
};

// The application's delegate: creates the one main window with the application menu, keeps the
// window locked in full screen once it got there, answers the microphone command and clears all
// website data when the application ends.
class AppDelegate final : public WindowDelegate, public std::enable_shared_from_this<AppDelegate> {
public:
    // Full screen plus auto-hidden menu bar and dock.
    static constexpr std::uint64_t fullScreenPresentationOptions = 1024 + 4 + 1;
    // How long termination waits for the website-data removal before giving up.
    static constexpr double terminationClearingBoundSeconds = 5.0;

    // Menu actions the window system routes back to the delegate or the application.
    static constexpr char microphonePermissionAction[] = "app.microphone-permission";
    static constexpr char quitAction[] = "app.quit";

    explicit AppDelegate(AppServices services);

    void applicationDidFinishLaunching();
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    [[nodiscard]] bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    // Starts removing all website data; `finished` runs once, when the removal completes or the
    // bound runs out, whichever comes first.
    void applicationWillTerminate(std::function<void()> finished);

    void enterFullscreen();
    void requestMicrophonePermission();

    std::uint64_t willUseFullScreenPresentationOptions(std::uint64_t proposed) override;
    void windowDidEnterFullScreen(const std::shared_ptr<Window>& window) override;
    void windowWillExitFullScreen(const std::shared_ptr<Window>& window) override;
    Size windowWillResize(Window& window, Size proposed) override;
    bool windowShouldClose(Window& window) override;

    [[nodiscard]] const std::shared_ptr<Window>& mainWindow() const { return mainWindow_; }
    [[nodiscard]] screens::ContentView* contentView() const { return contentView_.get(); }
    bool allowFullscreenExit = false;

private:
    void buildMainMenu();
    void setupMainWindow();
    void reenterFullscreen(const std::shared_ptr<Window>& window);
    void requestMicrophoneAccess(bool leftFullscreen);
    void handleMicrophoneAccessResult(bool granted, bool leftFullscreen);

    AppServices services_;
    MainQueue& queue_;
    Log& log_;
    // Declared first so that it outlives the window hosting it.
    std::unique_ptr<screens::ContentView> contentView_;
    std::shared_ptr<Window> mainWindow_;
};

}  // namespace pelunna::app
