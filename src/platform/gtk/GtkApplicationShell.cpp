#include "platform/gtk/GtkApplicationShell.hpp"

#include <glib-unix.h>

#include <csignal>
#include <utility>

namespace pelunna::platform {
namespace {

GtkApplication* makeApplication(const GtkApplicationShell::Names& names) {
    g_set_prgname(names.programName.c_str());
    g_set_application_name(names.displayName.c_str());
    return gtk_application_new(names.applicationId.c_str(), G_APPLICATION_DEFAULT_FLAGS);
}

}  // namespace

GtkApplicationShell::GtkApplicationShell(const Names& names, Startup startup)
    : application_(makeApplication(names)), startup_(std::move(startup)) {
    g_signal_connect(application_, "startup", G_CALLBACK(onStartup), this);
    g_signal_connect(application_, "activate", G_CALLBACK(onActivate), this);
    g_signal_connect(application_, "window-removed", G_CALLBACK(onWindowRemoved), this);
}

GtkApplicationShell::~GtkApplicationShell() {
    g_object_unref(application_);
}

int GtkApplicationShell::run() {
    // The client takes no arguments: none are handed to GApplication.
    return g_application_run(G_APPLICATION(application_), 0, nullptr);
}

void GtkApplicationShell::onStartup(GApplication* /*application*/, gpointer self) {
    auto* shell = static_cast<GtkApplicationShell*>(self);
    shell->delegate_ = &shell->startup_(shell->application_);
    shell->addAction(ApplicationDelegate::quitAction, [shell] { shell->terminate(); });
    shell->addAction(ApplicationDelegate::microphonePermissionAction,
                     [shell] { shell->delegate_->requestMicrophonePermission(); });

    // Logout and shutdown send SIGTERM: they take the same orderly path as Quit.
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        g_unix_signal_add(
            signal,
            +[](gpointer data) -> gboolean {
                static_cast<GtkApplicationShell*>(data)->terminate();
                return G_SOURCE_CONTINUE;
            },
            shell);
    }
}

void GtkApplicationShell::addAction(std::string_view detailedName, std::function<void()> handler) {
    // Menu items name "app.<action>"; the action map knows only "<action>".
    const std::string name(detailedName.substr(detailedName.find('.') + 1));
    GSimpleAction* action = g_simple_action_new(name.c_str(), nullptr);
    g_signal_connect_data(
        action, "activate", G_CALLBACK(+[](GSimpleAction*, GVariant*, gpointer data) {
            (*static_cast<std::function<void()>*>(data))();
        }),
        new std::function<void()>(std::move(handler)),
        [](gpointer data, GClosure*) { delete static_cast<std::function<void()>*>(data); },
        G_CONNECT_DEFAULT);
    g_action_map_add_action(G_ACTION_MAP(application_), G_ACTION(action));
    g_object_unref(action);
}

void GtkApplicationShell::onActivate(GApplication* /*application*/, gpointer self) {
    auto* shell = static_cast<GtkApplicationShell*>(self);
    if (!shell->launched_) {
        shell->launched_ = true;
        shell->delegate_->applicationDidFinishLaunching();
        return;
    }
    shell->delegate_->applicationShouldHandleReopen(
        gtk_application_get_windows(shell->application_) != nullptr);
}

void GtkApplicationShell::onWindowRemoved(GtkApplication* application, GtkWindow* /*window*/,
                                          gpointer self) {
    auto* shell = static_cast<GtkApplicationShell*>(self);
    if (gtk_application_get_windows(application) == nullptr &&
        shell->delegate_->applicationShouldTerminateAfterLastWindowClosed()) {
        shell->terminate();
    }
}

void GtkApplicationShell::terminate() {
    if (terminating_) {
        return;
    }
    terminating_ = true;
    g_application_hold(G_APPLICATION(application_));
    delegate_->applicationWillTerminate([this] {
        g_application_release(G_APPLICATION(application_));
        g_application_quit(G_APPLICATION(application_));
    });
}

}  // namespace pelunna::platform
