/* The benchmark's floor: one full-screen WebKitGTK view on an ephemeral session and nothing else.
 * PELUNNA_RENDERING=cpu draws on the CPU the way the client does (GTK's cairo renderer, WebKit
 * without hardware acceleration); anything else keeps the engine's defaults. A request for the
 * microphone alone is granted, as a learner's yes would; every other permission is refused.
 * --start-script and --end-script put page scripts into every frame, with a "logging" message
 * handler that drops what they post: the soak leaves the client's scripts out one at a time.
 * Usage: bare-view [--start-script FILE]... [--end-script FILE]... URL. Ctrl+Q or SIGTERM quits. */
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <stdlib.h>
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

static gboolean on_permission_request(WebKitWebView* view, WebKitPermissionRequest* request,
                                      gpointer data) {
    (void)view;
    (void)data;
    gboolean allow = WEBKIT_IS_DEVICE_INFO_PERMISSION_REQUEST(request);
    if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
        WebKitUserMediaPermissionRequest* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
        allow = webkit_user_media_permission_is_for_audio_device(media) &&
                !webkit_user_media_permission_is_for_video_device(media) &&
                !webkit_user_media_permission_is_for_display_device(media);
    }
    if (allow) {
        webkit_permission_request_allow(request);
    } else {
        webkit_permission_request_deny(request);
    }
    return TRUE;
}

static void add_scripts(WebKitUserContentManager* manager, char** files,
                        WebKitUserScriptInjectionTime when) {
    for (char** file = files; file != NULL && *file != NULL; file++) {
        char* source = NULL;
        GError* error = NULL;
        if (!g_file_get_contents(*file, &source, NULL, &error)) {
            g_printerr("%s\n", error->message);
            exit(2);
        }
        WebKitUserScript* script =
            webkit_user_script_new(source, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, when, NULL, NULL);
        webkit_user_content_manager_add_script(manager, script);
        webkit_user_script_unref(script);
        g_free(source);
    }
}

int main(int argc, char** argv) {
    char** start_scripts = NULL;
    char** end_scripts = NULL;
    const GOptionEntry entries[] = {
        {"start-script", 0, 0, G_OPTION_ARG_FILENAME_ARRAY, &start_scripts,
         "a page script run at document start", "FILE"},
        {"end-script", 0, 0, G_OPTION_ARG_FILENAME_ARRAY, &end_scripts,
         "a page script run at document end", "FILE"},
        {NULL, 0, 0, 0, NULL, NULL, NULL},
    };
    GOptionContext* options = g_option_context_new("URL");
    g_option_context_add_main_entries(options, entries, NULL);
    GError* error = NULL;
    if (!g_option_context_parse(options, &argc, &argv, &error) || argc != 2) {
        g_printerr("usage: %s [--start-script FILE]... [--end-script FILE]... URL\n", argv[0]);
        return 2;
    }
    g_option_context_free(options);
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
    WebKitUserContentManager* manager = webkit_user_content_manager_new();
    if (start_scripts != NULL || end_scripts != NULL) {
        webkit_user_content_manager_register_script_message_handler(manager, "logging", NULL);
        add_scripts(manager, start_scripts, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START);
        add_scripts(manager, end_scripts, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END);
    }
    g_strfreev(start_scripts);
    g_strfreev(end_scripts);
    GtkWidget* view = g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session, "settings",
                                   settings, "user-content-manager", manager, NULL);
    g_object_unref(settings);
    g_object_unref(manager);
    g_signal_connect(view, "permission-request", G_CALLBACK(on_permission_request), NULL);

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
