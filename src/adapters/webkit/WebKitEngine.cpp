#include "adapters/webkit/WebKitEngine.hpp"

#include "adapters/webkit/WebKitEngineView.hpp"

namespace pelunna::adapters {

WebKitEngine::WebKitEngine(WebKitSession& session, GtkOverlay* container)
    : session_(session), container_(container) {}

std::unique_ptr<EngineView> WebKitEngine::makeView(const EngineConfiguration& configuration,
                                                   EngineViewDelegate& delegate) {
    return std::make_unique<WebKitEngineView>(configuration, delegate, session_, container_);
}

}  // namespace pelunna::adapters
