#include "platform/gtk/StyleSheet.hpp"

#include <gtk/gtk.h>

namespace pelunna::platform {
namespace {

// Black behind the page, where it has not drawn yet; the title and menu bars take the colour of
// the screen under them.
constexpr char styleSheet[] = R"css(
.pelunna-main-window, .pelunna-web-content { background-color: black; }
/* Without a compositor GTK draws its own resize border in the theme's colours: a kiosk has no
   use for it. */
.pelunna-main-window.fullscreen, .pelunna-main-window.solid-csd, .pelunna-alert.solid-csd {
    padding: 0;
    border: none;
    box-shadow: none;
}
.pelunna-main-window headerbar.pelunna-titlebar, .pelunna-main-window .pelunna-menubar {
    background: black;
    color: rgb(204, 204, 217);
    border: none;
    box-shadow: none;
}
.pelunna-main-window headerbar.pelunna-titlebar { min-height: 32px; }
.pelunna-main-window headerbar.pelunna-titlebar button { color: white; }
.pelunna-main-window headerbar.pelunna-titlebar.permission,
.pelunna-main-window .pelunna-menubar.permission,
.pelunna-main-window .pelunna-menubar.over-page { background: rgb(31, 31, 38); }

.permission-screen { background-color: rgb(31, 31, 38); }
.permission-content { margin: 60px; }
.permission-header-icon { color: rgb(102, 153, 255); }
.permission-title { font-size: 28px; font-weight: 700; color: white; }
.permission-description { font-size: 16px; color: rgb(204, 204, 217); }
.permission-explanation { font-size: 14px; color: rgb(191, 191, 204); }
.permission-granted, .permission-refused { font-size: 16px; font-weight: 500; -gtk-icon-size: 16px; }
.permission-granted { color: rgb(77, 230, 102); }
.permission-refused { color: rgb(255, 102, 102); }
button.permission-button, .pelunna-alert button {
    border: none;
    box-shadow: none;
    background-image: none;
    min-width: 0;
    min-height: 0;
    color: white;
    -gtk-icon-size: 16px;
}
button.permission-button:hover, .pelunna-alert button:hover { filter: brightness(1.12); }
button.permission-button:active, .pelunna-alert button:active { filter: brightness(0.9); }
button.primary-large, button.primary-small, .pelunna-alert button.suggested-action {
    background-color: rgb(51, 128, 255);
}
button.primary-large { padding: 12px 30px; border-radius: 10px; font-size: 16px; font-weight: 600; }
button.primary-small { padding: 10px 20px; border-radius: 8px; font-size: 14px; font-weight: 600; }
button.secondary-small, .pelunna-alert button {
    padding: 10px 20px;
    border-radius: 8px;
    font-size: 14px;
    font-weight: 500;
    background-color: rgb(64, 64, 77);
    color: rgb(204, 204, 217);
}
.pelunna-alert button.suggested-action { color: white; font-weight: 600; }

/* Told over a page that cannot be shown, in the permission screen's colours. */
.pelunna-notice {
    margin: 40px;
    padding: 24px 36px;
    border-radius: 12px;
    background-color: rgb(31, 31, 38);
    color: white;
}
.pelunna-notice-text { font-size: 20px; font-weight: 600; }
.pelunna-notice-detail { font-size: 16px; color: rgb(204, 204, 217); }

.pelunna-alert, .pelunna-alert > box { background-color: rgb(31, 31, 38); color: white; }
.pelunna-alert { border: 1px solid rgb(64, 64, 77); }
.pelunna-alert label { color: rgb(204, 204, 217); }
.pelunna-alert label.title { color: white; }
.pelunna-alert entry { background-color: rgb(48, 48, 58); color: white; }
.pelunna-alert .dialog-action-area { padding: 0 12px 12px; border-spacing: 12px; }
)css";

}  // namespace

void installStyleSheet() {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, styleSheet, -1);
    gtk_style_context_add_provider_for_display(gdk_display_get_default(),
                                               GTK_STYLE_PROVIDER(provider),
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

}  // namespace pelunna::platform
