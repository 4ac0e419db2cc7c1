#pragma once

#include <functional>
#include <memory>

#include "ports/Alerts.hpp"
#include "ports/ContentHost.hpp"
#include "ports/Engine.hpp"
#include "ports/KeyEvent.hpp"
#include "ports/Log.hpp"
#include "ports/MainQueue.hpp"
#include "ports/MicrophoneAuthorization.hpp"
#include "ports/RootView.hpp"
#include "ports/Workspace.hpp"
#include "screens/MicrophonePermissionView.hpp"
#include "web/WebView.hpp"

namespace pelunna::screens {

// Everything the root view needs from outside.
struct ContentViewServices {
    MainQueue& queue;
    Log& log;
    MicrophoneAuthorization& microphone;
    Workspace& workspace;
    Alerts& alerts;
};

// The main window's content: owns the state the screens share (zoom, refresh trigger, the
// microphone gate), shows the permission screen until the user continues, then the web
// content; once that appears it asks for full screen and handles the shortcuts.
class ContentView final : public RootView {
public:
    ContentView(ContentViewServices services, web::ServiceConfig service,
                std::function<void()> enterFullscreenAction);
    ContentView(const ContentView&) = delete;
    ContentView& operator=(const ContentView&) = delete;

    void attach(ContentHost& host, Engine& engine) override;
    void onWebViewAppear(KeyMonitor& monitor) override;
    KeyDisposition handleKeyDown(const KeyEvent& event);
    // Quit: the pages end before their data is removed, so none can write meanwhile.
    void endPageProcesses();
    // The next learner: the lab goes (its dialogs dismissed, its popups closed, its pages
    // ended), and then the permission screen comes back as at launch, zoom and status afresh.
    void leaveLab();
    void returnToPermissionScreen();

private:
    // A state write recomputes the content.
    void render();

    ContentViewServices services_;
    web::ServiceConfig service_;
    double zoomLevel_ = 1.0;
    bool micPermissionResolved_ = false;
    MicrophoneStatus micStatus_;
    bool refreshTrigger_ = false;
    std::function<void()> enterFullscreenAction_;
    MicrophonePermissionView permissionView_;
    ContentHost* host_ = nullptr;
    Engine* engine_ = nullptr;
    std::unique_ptr<web::WebView> webView_;
    bool keyMonitorInstalled_ = false;
};

}  // namespace pelunna::screens
