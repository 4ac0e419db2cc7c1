/* The benchmark's floor: one full-screen WebKitGTK view on an ephemeral session and nothing else.
 * PELUNNA_RENDERING=cpu draws on the CPU the way the client does (GTK's cairo renderer, WebKit
 * without hardware acceleration); anything else keeps the engine's defaults.
 * Usage: bare-view URL. Ctrl+Q or SIGTERM quits. */
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <string.h>
#include <webkit/webkit.h>

static GMainLoop* loop;

static gboolean quit(gpointer data) {
    (void)data;
    g_main_loop_quit(loop);
    return G_SOURCE_CONTINUE;
}

static gboolean on_quit_shortcut(GtkWidget* widget, GVariant* args, gpointer data) {
    (void)widget;
    (void)args;
    quit(data);
    return TRUE;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        g_printerr("usage: %s URL\n", argv[0]);
        return 2;
    }
    const char* rendering = g_getenv("PELUNNA_RENDERING");
    const gboolean cpu = rendering != NULL && strcmp(rendering, "cpu") == 0;
    /* GTK reads it when the first window gets its renderer; a value already set wins. */
    if (cpu && !g_getenv("GSK_RENDERER")) {
        g_setenv("GSK_RENDERER", "cairo", TRUE);
        g_setenv("GDK_DEBUG", "gl-disable", FALSE);
    }
    gtk_init();
    loop = g_main_loop_new(NULL, FALSE);

    WebKitNetworkSession* session = webkit_network_session_new_ephemeral();
    WebKitSettings* settings = webkit_settings_new();
    if (cpu) {
        webkit_settings_set_hardware_acceleration_policy(settings,
                                                         WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    }
    GtkWidget* view =
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session, "settings", settings, NULL);
    g_object_unref(settings);

    GtkWidget* window = gtk_window_new();
    gtk_window_set_child(GTK_WINDOW(window), view);
    GtkEventController* shortcuts = gtk_shortcut_controller_new();
    gtk_shortcut_controller_set_scope(GTK_SHORTCUT_CONTROLLER(shortcuts),
                                      GTK_SHORTCUT_SCOPE_GLOBAL);
    gtk_shortcut_controller_add_shortcut(
        GTK_SHORTCUT_CONTROLLER(shortcuts),
        gtk_shortcut_new(gtk_shortcut_trigger_parse_string("<Control>q"),
                         gtk_callback_action_new(on_quit_shortcut, NULL, NULL)));
    gtk_widget_add_controller(window, shortcuts);
    g_signal_connect_swapped(window, "close-request", G_CALLBACK(quit), NULL);
    g_unix_signal_add(SIGTERM, quit, NULL);
    g_unix_signal_add(SIGINT, quit, NULL);

    gtk_window_fullscreen(GTK_WINDOW(window));
    gtk_window_present(GTK_WINDOW(window));
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
    g_main_loop_run(loop);

    gtk_window_destroy(GTK_WINDOW(window));
    g_object_unref(session);
    g_main_loop_unref(loop);
    return 0;
}
