#include "platform/gtk/UserActivity.hpp"

namespace pelunna::platform {

void UserActivity::watch(GtkWindow* window) {
    GtkEventController* controller = gtk_event_controller_legacy_new();
    gtk_event_controller_set_propagation_phase(controller, GTK_PHASE_CAPTURE);
    g_signal_connect(controller, "event", G_CALLBACK(onEvent), this);
    gtk_widget_add_controller(GTK_WIDGET(window), controller);
}

gboolean UserActivity::onEvent(GtkEventControllerLegacy* /*controller*/, GdkEvent* event,
                               gpointer self) {
    switch (gdk_event_get_event_type(event)) {
        case GDK_KEY_PRESS:
        case GDK_MOTION_NOTIFY:
        case GDK_BUTTON_PRESS:
        case GDK_SCROLL:
        case GDK_TOUCH_BEGIN:
        case GDK_TOUCH_UPDATE:
        case GDK_TOUCHPAD_SWIPE:
        case GDK_TOUCHPAD_PINCH:
            break;
        default:
            return FALSE;
    }
    const auto& listener = static_cast<UserActivity*>(self)->listener_;
    return listener && listener() ? TRUE : FALSE;
}

}  // namespace pelunna::platform
