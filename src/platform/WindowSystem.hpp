#pragma once

#include <memory>
#include <optional>

#include "platform/Window.hpp"

namespace pelunna {

// How the main window is to look when it is created.
struct WindowSettings {
    Rect contentRect;
    std::uint64_t styleMask = 0;
    bool titlebarAppearsTransparent = false;
    bool titleHidden = false;
    bool miniaturizeButtonHidden = false;
    bool zoomButtonHidden = false;
    bool tabbingDisallowed = false;
    bool fullScreenPrimary = false;
};

// The desktop: screens, window creation and application activation.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    [[nodiscard]] virtual std::optional<Rect> mainScreenFrame() const = 0;
    virtual std::shared_ptr<Window> createWindow(const WindowSettings& settings) = 0;
    virtual void activateIgnoringOtherApps() = 0;
};

}  // namespace pelunna
