#pragma once

#include <gtk/gtk.h>

#include "platform/WebsiteDataStore.hpp"
#include "platform/WindowSystem.hpp"

namespace pelunna::platform {

// Screens and windows of the GTK display the application runs on.
class GtkWindowSystem final : public WindowSystem {
public:
    GtkWindowSystem(GtkApplication* application, WebsiteDataStore& dataStore);

    [[nodiscard]] std::optional<Rect> mainScreenFrame() const override;
    std::shared_ptr<Window> createWindow(const WindowSettings& settings) override;
    void activateIgnoringOtherApps() override;
    void setMainMenu(const std::vector<MenuItem>& items) override;

private:
    GtkApplication* application_;
    WebsiteDataStore& dataStore_;
    std::weak_ptr<Window> window_;
};

}  // namespace pelunna::platform
