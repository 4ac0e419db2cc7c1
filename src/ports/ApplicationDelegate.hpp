#pragma once

#include <functional>

namespace pelunna {

// What the application's life reports to: launch, reopen, the menu's commands and termination.
class ApplicationDelegate {
public:
    // Menu actions, as the menu items name them.
    static constexpr char microphonePermissionAction[] = "app.microphone-permission";
    static constexpr char quitAction[] = "app.quit";

    virtual ~ApplicationDelegate() = default;
    virtual void applicationDidFinishLaunching() = 0;
    // A second launch: the one window comes to the front.
    virtual void applicationShouldHandleReopen(bool hasVisibleWindows) = 0;
    [[nodiscard]] virtual bool applicationShouldTerminateAfterLastWindowClosed() const = 0;
    // `finished` runs once, when the application may end.
    virtual void applicationWillTerminate(std::function<void()> finished) = 0;
    virtual void requestMicrophonePermission() = 0;
};

}  // namespace pelunna
