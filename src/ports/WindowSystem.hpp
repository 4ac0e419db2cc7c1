#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ports/Window.hpp"

namespace pelunna {

// How the main window is to look when it is created.
struct WindowSettings {
    Rect contentRect;
    std::uint64_t styleMask = 0;
    bool titlebarAppearsTransparent = false;
    bool titleHidden = false;
    bool miniaturizeButtonHidden = false;
    bool zoomButtonHidden = false;
};

// An entry of the application menu: a command, or a separator when it has no title.
struct MenuItem {
    std::string title;
    std::string action;
    std::string accelerator;
};

// The desktop: screens, window creation and the application menu.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    [[nodiscard]] virtual std::optional<Rect> mainScreenFrame() const = 0;
    virtual std::shared_ptr<Window> createWindow(const WindowSettings& settings) = 0;
    // Replaces the application's whole main menu by one application menu holding these items.
    virtual void setMainMenu(const std::vector<MenuItem>& items) = 0;
};

}  // namespace pelunna
