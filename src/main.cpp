#include <glib.h>

#include <csignal>
#include <string>

#include "app/DrawingPathChoice.hpp"
#include "app/ServiceConstants.hpp"
#include "platform/StdoutLog.hpp"
#include "platform/desktop/ClientVariables.hpp"
#include "platform/desktop/SystemDrawingEvidence.hpp"
#include "platform/gtk/GtkApplicationShell.hpp"

int main() {
    // Before GTK starts, and before any thread could read the environment while it changes.
    pelunna::StdoutLog log;
    pelunna::desktop::SystemDrawingEvidence evidence;
    const pelunna::app::DrawingPathChoice drawing = pelunna::app::chooseDrawingPath(evidence, log);
    for (const auto& [name, value] : drawing.variables) {
        pelunna::desktop::setClientVariable(name, value);
    }
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
    pelunna::platform::GtkApplicationShell shell(drawing.views);
    return shell.run();
}
