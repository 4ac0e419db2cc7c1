#include <glib.h>

#include <string>

#include "app/ServiceConstants.hpp"
#include "platform/gtk/GtkApplicationShell.hpp"

int main() {
    // The engine names its data and cache folders after the program.
    g_set_prgname(std::string(pelunna::service::programName).c_str());
    g_set_application_name(std::string(pelunna::service::displayName).c_str());
    pelunna::platform::GtkApplicationShell shell;
    return shell.run();
}
