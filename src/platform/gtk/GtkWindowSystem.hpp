#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "platform/gtk/DesktopColorScheme.hpp"
#include "platform/gtk/UserActivity.hpp"
#include "platform/webkit/WebKitSession.hpp"
#include "ports/WindowSystem.hpp"

namespace pelunna::platform {

// Screens and windows of the GTK display the application runs on.
class GtkWindowSystem final : public WindowSystem {
public:
    // The application menu is titled `menuTitle`.
    GtkWindowSystem(GtkApplication* application, WebKitSession& session, UserActivity& activity,
                    std::string menuTitle);

    [[nodiscard]] std::optional<Rect> mainScreenFrame() const override;
    std::shared_ptr<Window> createWindow(const WindowSettings& settings) override;
    void setMainMenu(const std::vector<MenuItem>& items) override;

private:
    GtkApplication* application_;
    WebKitSession& session_;
    UserActivity& activity_;
    std::string menuTitle_;
    std::unique_ptr<DesktopColorScheme> colorScheme_;
};

}  // namespace pelunna::platform
