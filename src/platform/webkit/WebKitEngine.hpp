#pragma once

#include <gtk/gtk.h>

#include "platform/webkit/WebKitSession.hpp"
#include "ports/Engine.hpp"

namespace pelunna::platform {

// Makes WebKitGTK views configured as the client wants them, on the client's one session, laid
// into a container overlay.
class WebKitEngine final : public Engine {
public:
    WebKitEngine(WebKitSession& session, GtkOverlay* container);

    WebsiteDataStore& dataStore() override { return session_; }
    std::unique_ptr<EngineView> makeView(const EngineConfiguration& configuration,
                                         EngineViewDelegate& delegate) override;

private:
    WebKitSession& session_;
    GtkOverlay* container_;
};

}  // namespace pelunna::platform
