#include "platform/gtk/InspectorKeys.hpp"

namespace pelunna::platform {
namespace {

gboolean onKeyPressed(GtkEventControllerKey* /*controller*/, guint keyval, guint /*keycode*/,
                      GdkModifierType state, gpointer /*data*/) {
    const auto both = static_cast<GdkModifierType>(GDK_CONTROL_MASK | GDK_SHIFT_MASK);
    const guint key = gdk_keyval_to_lower(keyval);
    return (state & both) == both && (key == GDK_KEY_i || key == GDK_KEY_d) ? TRUE : FALSE;
}

}  // namespace

void refuseInspectorKeys(GtkWindow* window) {
    // Before the window's own shortcuts, and before the page, which hands unused keys back.
    GtkEventController* controller = gtk_event_controller_key_new();
    gtk_event_controller_set_propagation_phase(controller, GTK_PHASE_CAPTURE);
    g_signal_connect(controller, "key-pressed", G_CALLBACK(onKeyPressed), nullptr);
    gtk_widget_add_controller(GTK_WIDGET(window), controller);
}

}  // namespace pelunna::platform
