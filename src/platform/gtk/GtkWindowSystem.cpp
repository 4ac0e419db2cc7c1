#include "platform/gtk/GtkWindowSystem.hpp"

#include <utility>

#include "platform/gtk/GtkMainWindow.hpp"

namespace pelunna::platform {
namespace {

// The content is black under the page; the title bar blends into it.
constexpr char styleSheet[] = R"css(
.pelunna-main-window, .pelunna-web-content { background-color: black; }
/* Without a compositor GTK draws its own resize border, which full screen has no use for. */
.pelunna-main-window.fullscreen { padding: 0; border: none; box-shadow: none; }

.permission-screen { background-color: rgb(31, 31, 38); }
.permission-content { margin: 60px; }
.permission-header-icon { color: rgb(102, 153, 255); }
.permission-title { font-size: 28px; font-weight: 700; color: white; }
.permission-description { font-size: 16px; color: rgb(204, 204, 217); }
.permission-explanation { font-size: 14px; color: rgb(191, 191, 204); }
.permission-granted, .permission-refused { font-size: 16px; font-weight: 500; -gtk-icon-size: 16px; }
.permission-granted { color: rgb(77, 230, 102); }
.permission-refused { color: rgb(255, 102, 102); }
button.permission-button {
    border: none;
    box-shadow: none;
    background-image: none;
    min-width: 0;
    min-height: 0;
    color: white;
    -gtk-icon-size: 16px;
}
button.permission-button:hover { filter: brightness(1.12); }
button.permission-button:active { filter: brightness(0.9); }
button.primary-large, button.primary-small { background-color: rgb(51, 128, 255); }
button.primary-large { padding: 12px 30px; border-radius: 10px; font-size: 16px; font-weight: 600; }
button.primary-small { padding: 10px 20px; border-radius: 8px; font-size: 14px; font-weight: 600; }
button.secondary-small {
    padding: 10px 20px;
    border-radius: 8px;
    font-size: 14px;
    font-weight: 500;
    background-color: rgb(64, 64, 77);
    color: rgb(204, 204, 217);
}
/* Shown over a page that stopped working, in the permission screen's colours. */
.pelunna-notice {
    margin: 40px;
    padding: 24px 36px;
    border-radius: 12px;
    background-color: rgb(31, 31, 38);
    color: white;
    font-size: 20px;
    font-weight: 600;
}
.transparent-titlebar headerbar.pelunna-titlebar {
    background: black;
    border: none;
    box-shadow: none;
    min-height: 32px;
}
)css";

void installStyleSheet() {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, styleSheet, -1);
    gtk_style_context_add_provider_for_display(gdk_display_get_default(),
                                               GTK_STYLE_PROVIDER(provider),
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
    g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", TRUE, nullptr);
}

}  // namespace

GtkWindowSystem::GtkWindowSystem(GtkApplication* application, WebKitSession& session,
                                 std::string menuTitle)
    : application_(application), session_(session), menuTitle_(std::move(menuTitle)) {}

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
    return std::make_shared<GtkMainWindow>(application_, settings, session_);
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
