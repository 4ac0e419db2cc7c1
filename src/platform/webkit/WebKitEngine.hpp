#pragma once

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include "platform/webkit/WebKitSession.hpp"
#include "ports/Engine.hpp"

namespace pelunna::platform {

// Makes WebKitGTK views configured as the client wants them, on the client's one session, laid
// into a container overlay. It owns the one settings object and content manager (with the page
// scripts) that every view and popup shares.
class WebKitEngine final : public Engine {
public:
    WebKitEngine(WebKitSession& session, GtkOverlay* container);
    ~WebKitEngine() override;
    WebKitEngine(const WebKitEngine&) = delete;
    WebKitEngine& operator=(const WebKitEngine&) = delete;

    WebsiteDataStore& dataStore() override { return session_; }
    std::unique_ptr<EngineView> makeView(const EngineConfiguration& configuration,
                                         EngineViewDelegate& delegate) override;

    // A popup's view: related to its opener, so that it shares the session, the settings and the
    // page scripts.
    static WebKitWebView* makeRelatedView(WebKitWebView* opener);

private:
    WebKitSession& session_;
    GtkOverlay* container_;
    // Made with the first view: the client's configuration does not change while it runs.
    WebKitSettings* settings_ = nullptr;
    WebKitUserContentManager* contentManager_ = nullptr;
};

}  // namespace pelunna::platform
