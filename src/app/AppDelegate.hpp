#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "app/IdleReset.hpp"
#include "ports/Alerts.hpp"
#include "ports/ApplicationDelegate.hpp"
#include "ports/IdleResetHost.hpp"
#include "ports/Log.hpp"
#include "ports/MainQueue.hpp"
#include "ports/MicrophoneAuthorization.hpp"
#include "ports/WebsiteDataStore.hpp"
#include "ports/Window.hpp"
#include "ports/WindowSystem.hpp"
#include "ports/Workspace.hpp"
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

// When an idle seat starts over: after these idle minutes, never without; each of its seconds
// lasts secondSeconds (a test build makes them shorter).
struct IdleResetTimes {
    std::optional<int> minutes;
    double secondSeconds = 1.0;
};

// The application's delegate: creates the one main window with the application menu, keeps the
// window locked in full screen once it got there, answers the microphone command, starts a seat
// left idle over for the next learner and clears all website data when the application ends.
class AppDelegate final : public ApplicationDelegate,
                          public WindowDelegate,
                          public IdleResetHost,
                          public std::enable_shared_from_this<AppDelegate> {
public:
    // How long termination, and a start over, wait for the website-data removal.
    static constexpr double terminationClearingBoundSeconds = 5.0;

    explicit AppDelegate(AppServices services, IdleResetTimes idle = {});

    void applicationDidFinishLaunching() override;
    void applicationShouldHandleReopen(bool hasVisibleWindows) override;
    [[nodiscard]] bool applicationShouldTerminateAfterLastWindowClosed() const override {
        return true;
    }
    // Starts removing all website data; `finished` runs once, when the removal completes or the
    // bound runs out, whichever comes first.
    void applicationWillTerminate(std::function<void()> finished) override;
    void requestMicrophonePermission() override;

    void enterFullscreen();

    // Entering full screen clears the resizable bit: the window is never resized there.
    void windowDidEnterFullScreen(const std::shared_ptr<Window>& window) override;
    void windowWillExitFullScreen(const std::shared_ptr<Window>& window) override;
    bool windowShouldClose(Window& window) override;

    // Any input on any window; true when it only kept the seat from starting over.
    [[nodiscard]] bool userInput() { return idleReset_.userInput(); }
    // Whether any view plays sound or records from the microphone.
    void mediaActivityChanged(bool active) { idleReset_.mediaActivityChanged(active); }
    void showCountdown(std::string_view headline, std::string_view hint) override;
    void hideCountdown() override;
    void startOver() override;

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
    IdleReset idleReset_;
};

}  // namespace pelunna::app
