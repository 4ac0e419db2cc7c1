#pragma once

#include <functional>
#include <memory>

#include "platform/Alerts.hpp"
#include "platform/Engine.hpp"
#include "platform/KeyEvent.hpp"
#include "platform/Log.hpp"
#include "platform/MainQueue.hpp"
#include "web/WebView.hpp"

namespace pelunna::screens {

// The main window's content: owns the state the screens share (zoom, refresh trigger), shows
// the web content and, once that appears, asks for full screen and handles the shortcuts.
class ContentView {
public:
    ContentView(MainQueue& queue, Log& log, std::function<void()> enterFullscreenAction);

    // Builds the web content on the start page; the host calls it once.
    web::WebView& showWebContent(Engine& engine, Alerts& alerts);
    void onWebViewAppear(KeyMonitor& monitor);
    KeyDisposition handleKeyDown(const KeyEvent& event);

    [[nodiscard]] double zoomLevel() const { return zoomLevel_; }
    [[nodiscard]] bool refreshTrigger() const { return refreshTrigger_; }

private:
    // A state write recomputes the content, which hands the new state to the web view.
    void stateChanged();

    MainQueue& queue_;
    Log& log_;
    double zoomLevel_ = 1.0;
    bool refreshTrigger_ = false;
    std::function<void()> enterFullscreenAction_;
    std::unique_ptr<web::WebView> webView_;
    bool keyMonitorInstalled_ = false;
};

}  // namespace pelunna::screens
