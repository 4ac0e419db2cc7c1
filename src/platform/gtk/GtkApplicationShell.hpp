#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <string_view>

#include "ports/ApplicationDelegate.hpp"

namespace pelunna::platform {

// The GtkApplication: launch, reopen, the menu's actions, the last window's close and the
// termination signals all reach the application delegate; termination keeps the main loop
// running until the delegate says it is done.
class GtkApplicationShell {
public:
    // Makes the client once the toolkit has started, and returns its delegate.
    using Startup = std::function<ApplicationDelegate&(GtkApplication* application)>;

    // The engine names its data and cache folders after the program name.
    struct Names {
        std::string applicationId;
        std::string programName;
        std::string displayName;
    };

    GtkApplicationShell(const Names& names, Startup startup);
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
    Startup startup_;
    ApplicationDelegate* delegate_ = nullptr;
    bool launched_ = false;
    bool terminating_ = false;
};

}  // namespace pelunna::platform
