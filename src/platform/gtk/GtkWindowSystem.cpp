#include "platform/gtk/GtkWindowSystem.hpp"

#include <utility>

#include "platform/gtk/GtkMainWindow.hpp"
#include "platform/gtk/StyleSheet.hpp"

namespace pelunna::platform {

GtkWindowSystem::GtkWindowSystem(GtkApplication* application, WebKitSession& session,
                                 UserActivity& activity, std::string menuTitle)
    : application_(application),
      session_(session),
      activity_(activity),
      menuTitle_(std::move(menuTitle)) {}

std::optional<Rect> GtkWindowSystem::mainScreenFrame() const {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr) {
        return std::nullopt;
    }
    GListModel* monitors = gdk_display_get_monitors(display);
    if (g_list_model_get_n_items(monitors) == 0) {
        return std::nullopt;
    }
    auto* monitor = GDK_MONITOR(g_list_model_get_item(monitors, 0));
    GdkRectangle geometry;
    gdk_monitor_get_geometry(monitor, &geometry);
    g_object_unref(monitor);
    return Rect{{static_cast<double>(geometry.width), static_cast<double>(geometry.height)}};
}

std::shared_ptr<Window> GtkWindowSystem::createWindow(const WindowSettings& settings) {
    installStyleSheet();
    colorScheme_ = std::make_unique<DesktopColorScheme>();
    return std::make_shared<GtkMainWindow>(application_, settings, session_, activity_);
}

void GtkWindowSystem::setMainMenu(const std::vector<MenuItem>& items) {
    GMenu* applicationMenu = g_menu_new();
    GMenu* section = g_menu_new();
    for (const MenuItem& item : items) {
        if (item.title.empty()) {
            g_menu_append_section(applicationMenu, nullptr, G_MENU_MODEL(section));
            g_object_unref(section);
            section = g_menu_new();
            continue;
        }
        g_menu_append(section, item.title.c_str(), item.action.c_str());
        const char* accelerators[] = {item.accelerator.c_str(), nullptr};
        gtk_application_set_accels_for_action(application_, item.action.c_str(), accelerators);
    }
    g_menu_append_section(applicationMenu, nullptr, G_MENU_MODEL(section));
    g_object_unref(section);

    GMenu* menubar = g_menu_new();
    g_menu_append_submenu(menubar, menuTitle_.c_str(), G_MENU_MODEL(applicationMenu));
    gtk_application_set_menubar(application_, G_MENU_MODEL(menubar));
    g_object_unref(applicationMenu);
    g_object_unref(menubar);
}

}  // namespace pelunna::platform
