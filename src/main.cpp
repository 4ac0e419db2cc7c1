// The composition root: the one place that makes the concrete objects and wires them.
#include <glib.h>

#include <csignal>
#include <memory>
#include <string>

#include "adapters/glib/ClientVariables.hpp"
#include "adapters/glib/DecisionStores.hpp"
#include "adapters/glib/DesktopPrivacySwitch.hpp"
#include "adapters/glib/SettingsLauncher.hpp"
#include "adapters/glib/SystemDrawingEvidence.hpp"
#include "adapters/gtk/GtkAlerts.hpp"
#include "adapters/gtk/GtkApplicationShell.hpp"
#include "adapters/gtk/GtkMainQueue.hpp"
#include "adapters/gtk/GtkWindowSystem.hpp"
#include "adapters/webkit/WebKitSession.hpp"
#include "app/AppDelegate.hpp"
#include "app/DrawingPathChoice.hpp"
#include "app/ServiceConstants.hpp"
#include "log/StdoutLog.hpp"
#include "microphone/DesktopMicrophoneAuthorization.hpp"
#include "microphone/PolicyFile.hpp"

namespace pelunna {
namespace {

// Everything the client is made of once GTK has started, each made after what it needs.
struct Client {
    Client(GtkApplication* application, DrawingPath drawingPath, Log& log)
        : alerts(application),
          session(drawingPath),
          windowSystem(application, session, std::string(service::displayName)),
          decisionStore(desktop::makeDecisionStore(std::string(service::applicationId),
                                                   std::string(service::programName))),
          policyFile(std::string(service::policyDirectory) + "/microphone-policy", log),
          microphone(*decisionStore, policyFile, privacySwitch, alerts, queue),
          delegate(std::make_shared<app::AppDelegate>(app::AppServices{
              queue, log, windowSystem, session, microphone, alerts, workspace})) {}

    adapters::GtkMainQueue queue;
    adapters::GtkAlerts alerts;
    desktop::SettingsLauncher workspace;
    adapters::WebKitSession session;
    adapters::GtkWindowSystem windowSystem;
    std::unique_ptr<DecisionStore> decisionStore;
    microphone::PolicyFile policyFile;
    desktop::DesktopPrivacySwitch privacySwitch;
    microphone::DesktopMicrophoneAuthorization microphone;
    std::shared_ptr<app::AppDelegate> delegate;
};

}  // namespace
}  // namespace pelunna

int main() {
    using namespace pelunna;
    // Before GTK starts, and before any thread could read the environment while it changes.
    StdoutLog log;
    desktop::SystemDrawingEvidence evidence;
    const app::DrawingPathChoice drawing = app::chooseDrawingPath(evidence, log);
    for (const auto& [name, value] : drawing.variables) {
        desktop::setClientVariable(name, value);
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
    g_set_prgname(std::string(service::programName).c_str());
    g_set_application_name(std::string(service::displayName).c_str());

    std::unique_ptr<Client> client;
    adapters::GtkApplicationShell shell(std::string(service::applicationId),
                                        [&](GtkApplication* application) -> ApplicationDelegate& {
                                            client = std::make_unique<Client>(application,
                                                                              drawing.views, log);
                                            return *client->delegate;
                                        });
    const int status = shell.run();
    // The client's windows and views go before the application that showed them.
    client.reset();
    return status;
}
