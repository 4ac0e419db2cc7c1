#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string_view>

#include "app/AppDelegate.hpp"
#include "platform/DrawingPath.hpp"
#include "platform/StdoutLog.hpp"
#include "platform/desktop/DecisionStores.hpp"
#include "platform/desktop/DesktopAccessPolicy.hpp"
#include "platform/desktop/DesktopMicrophoneAuthorization.hpp"
#include "platform/desktop/SettingsLauncher.hpp"
#include "platform/gtk/GtkAlerts.hpp"
#include "platform/gtk/GtkMainQueue.hpp"
#include "platform/gtk/GtkWindowSystem.hpp"
#include "platform/webkit/WebKitSession.hpp"

namespace pelunna::platform {

// The GtkApplication and its wiring: launch, reopen, Quit, window close and termination signals
// all reach the AppDelegate; termination keeps the main loop running until it is done.
class GtkApplicationShell {
public:
    explicit GtkApplicationShell(DrawingPath drawingPath);
    ~GtkApplicationShell();
    GtkApplicationShell(const GtkApplicationShell&) = delete;
    GtkApplicationShell& operator=(const GtkApplicationShell&) = delete;

    int run();

private:
    static void onStartup(GApplication* application, gpointer self);
    static void onActivate(GApplication* application, gpointer self);
    static void onWindowRemoved(GtkApplication* application, GtkWindow* window, gpointer self);
    void addAction(std::string_view detailedName, std::function<void()> handler);
    void terminate();

    GtkApplication* application_;
    GtkMainQueue queue_;
    StdoutLog log_;
    GtkAlerts alerts_;
    desktop::SettingsLauncher workspace_;
    DrawingPath drawingPath_;
    std::unique_ptr<WebKitSession> session_;
    std::unique_ptr<GtkWindowSystem> windowSystem_;
    std::unique_ptr<desktop::DecisionStore> decisionStore_;
    std::unique_ptr<desktop::DesktopAccessPolicy> accessPolicy_;
    std::unique_ptr<desktop::DesktopMicrophoneAuthorization> microphone_;
    std::shared_ptr<app::AppDelegate> delegate_;
    bool launched_ = false;
    bool terminating_ = false;
};

}  // namespace pelunna::platform
