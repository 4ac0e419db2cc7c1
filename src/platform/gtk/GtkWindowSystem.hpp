#pragma once

#include <gtk/gtk.h>

#include "platform/WindowSystem.hpp"
#include "platform/webkit/WebKitSession.hpp"

namespace pelunna::platform {

// Screens and windows of the GTK display the application runs on.
class GtkWindowSystem final : public WindowSystem {
public:
    GtkWindowSystem(GtkApplication* application, WebKitSession& session);

    [[nodiscard]] std::optional<Rect> mainScreenFrame() const override;
    std::shared_ptr<Window> createWindow(const WindowSettings& settings) override;
    void activateIgnoringOtherApps() override;
    void setMainMenu(const std::vector<MenuItem>& items) override;

private:
    GtkApplication* application_;
    WebKitSession& session_;
    std::weak_ptr<Window> window_;
};

}  // namespace pelunna::platform
