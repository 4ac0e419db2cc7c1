#include <glib.h>

#include <csignal>
#include <string>

#include "app/ServiceConstants.hpp"
#include "platform/gtk/GtkApplicationShell.hpp"

int main() {
    // A parent may hand its blocked signals down; logout's SIGTERM must still reach the client's
    // orderly termination, which removes the learner's website data.
    sigset_t termination;
    sigemptyset(&termination);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&termination, signal);
    }
    sigprocmask(SIG_UNBLOCK, &termination, nullptr);
    // The engine names its data and cache folders after the program.
    g_set_prgname(std::string(pelunna::service::programName).c_str());
    g_set_application_name(std::string(pelunna::service::displayName).c_str());
    pelunna::platform::GtkApplicationShell shell(pelunna::DrawingPath::gpu);
    return shell.run();
}
