#include "platform/webkit/WebKitEngine.hpp"

#include "platform/webkit/WebKitEngineView.hpp"

namespace pelunna::platform {

WebKitEngine::WebKitEngine(WebsiteDataStore& dataStore, GtkOverlay* container)
    : dataStore_(dataStore), container_(container) {}

std::unique_ptr<EngineView> WebKitEngine::makeView(const EngineConfiguration& configuration,
                                                   EngineViewDelegate& delegate) {
    return std::make_unique<WebKitEngineView>(configuration, delegate, container_);
}

}  // namespace pelunna::platform
