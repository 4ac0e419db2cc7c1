#include "platform/gtk/GtkWindowSystem.hpp"

#include "platform/gtk/GtkMainWindow.hpp"

namespace pelunna::platform {
namespace {

// The content is black under the page; the title bar blends into it.
constexpr char styleSheet[] = R"css(
.pelunna-main-window, .pelunna-web-content { background-color: black; }
/* Without a compositor GTK draws its own resize border, which full screen has no use for. */
.pelunna-main-window.fullscreen { padding: 0; border: none; box-shadow: none; }
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

GtkWindowSystem::GtkWindowSystem(GtkApplication* application, WebsiteDataStore& dataStore)
    : application_(application), dataStore_(dataStore) {}

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
    return Rect{static_cast<double>(geometry.x),
                static_cast<double>(geometry.y),
                {static_cast<double>(geometry.width), static_cast<double>(geometry.height)}};
}

std::shared_ptr<Window> GtkWindowSystem::createWindow(const WindowSettings& settings) {
    installStyleSheet();
    auto window = std::make_shared<GtkMainWindow>(application_, settings, dataStore_);
    window_ = window;
    return window;
}

void GtkWindowSystem::activateIgnoringOtherApps() {
    if (auto window = window_.lock()) {
        window->makeKeyAndOrderFront();
    }
}

}  // namespace pelunna::platform
