#pragma once

#include <gtk/gtk.h>

#include <functional>

#include "platform/Engine.hpp"

namespace pelunna::platform {

// Makes WebKitGTK views configured as the client wants them, laid into a container overlay.
class WebKitEngine final : public Engine {
public:
    WebKitEngine(WebsiteDataStore& dataStore, GtkOverlay* container);

    WebsiteDataStore& defaultDataStore() override { return dataStore_; }
    std::unique_ptr<EngineView> makeView(const EngineConfiguration& configuration,
                                         EngineViewDelegate& delegate) override;

private:
    WebsiteDataStore& dataStore_;
    GtkOverlay* container_;
};

}  // namespace pelunna::platform
