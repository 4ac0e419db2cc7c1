// The composition root: the one place that makes the concrete objects and wires them.
#include <csignal>
#include <memory>
#include <string>

#include "app/AppDelegate.hpp"
#include "app/DrawingPathChoice.hpp"
#include "app/LabSettings.hpp"
#include "app/ServiceConstants.hpp"
#include "log/StdoutLog.hpp"
#include "microphone/DesktopMicrophoneAuthorization.hpp"
#include "microphone/PolicyFile.hpp"
#include "platform/glib/ClientVariables.hpp"
#include "platform/glib/DecisionStores.hpp"
#include "platform/glib/DesktopPrivacySwitch.hpp"
#include "platform/glib/LabSettingsFile.hpp"
#include "platform/glib/SettingsLauncher.hpp"
#include "platform/glib/SystemDrawingEvidence.hpp"
#include "platform/gtk/GtkAlerts.hpp"
#include "platform/gtk/GtkApplicationShell.hpp"
#include "platform/gtk/GtkMainQueue.hpp"
#include "platform/gtk/GtkWindowSystem.hpp"
#include "platform/gtk/UserActivity.hpp"
#include "platform/webkit/WebKitSession.hpp"

namespace pelunna {
namespace {

// Everything the client is made of once GTK has started, each made after what it needs.
struct Client {
    Client(GtkApplication* application, DrawingPath drawingPath, Log& log,
           const app::LabSettings& lab)
        : alerts(application, activity),
          session(drawingPath),
          windowSystem(application, session, activity, std::string(service::displayName)),
          decisionStore(platform::makeDecisionStore(std::string(service::applicationId),
                                                    std::string(service::programName))),
          policyFile(std::string(service::policyDirectory) + "/microphone-policy", log),
          microphone(*decisionStore, policyFile, privacySwitch, alerts, queue),
          delegate(std::make_shared<app::AppDelegate>(
              app::AppServices{queue, log, windowSystem, session, microphone, alerts, workspace},
              app::IdleResetTimes{lab.idleResetMinutes, service::idleSecondSeconds})) {
        activity.setListener([this] { return delegate->userInput(); });
        session.setMediaActivityListener(
            [this](bool active) { delegate->mediaActivityChanged(active); });
    }
    // The views and windows that go with the delegate must not report to it as they go.
    ~Client() {
        session.setMediaActivityListener(nullptr);
        activity.setListener(nullptr);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    platform::GtkMainQueue queue;
    platform::UserActivity activity;
    platform::GtkAlerts alerts;
    platform::SettingsLauncher workspace;
    platform::WebKitSession session;
    platform::GtkWindowSystem windowSystem;
    std::unique_ptr<DecisionStore> decisionStore;
    microphone::PolicyFile policyFile;
    platform::DesktopPrivacySwitch privacySwitch;
    microphone::DesktopMicrophoneAuthorization microphone;
    std::shared_ptr<app::AppDelegate> delegate;
};

}  // namespace
}  // namespace pelunna

int main() {
    using namespace pelunna;
    // Before GTK starts, and before any thread could read the environment while it changes.
    StdoutLog log;
    platform::SystemDrawingEvidence evidence;
    const app::DrawingPathChoice drawing = app::chooseDrawingPath(evidence, log);
    for (const auto& [name, value] : drawing.variables) {
        platform::setClientVariable(name, value);
    }
    // A parent may hand its blocked signals down; logout's SIGTERM must still reach the client's
    // orderly termination, which removes the learner's website data.
    sigset_t termination;
    sigemptyset(&termination);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&termination, signal);
    }
    sigprocmask(SIG_UNBLOCK, &termination, nullptr);
    const std::string labSettingsPath = std::string(service::policyDirectory) + "/lab.conf";
    // Read once at start, so that the administrator sees at once what the seat will do.
    const app::LabSettings lab = app::decideLabSettings(
        platform::readLabSettingsFile(labSettingsPath), labSettingsPath, log);

    std::unique_ptr<Client> client;
    platform::GtkApplicationShell shell(
        {std::string(service::applicationId), std::string(service::programName),
         std::string(service::displayName)},
        [&](GtkApplication* application) -> ApplicationDelegate& {
            client = std::make_unique<Client>(application, drawing.views, log, lab);
            return *client->delegate;
        });
    const int status = shell.run();
    // The client's windows and views go before the application that showed them.
    client.reset();
    return status;
}
