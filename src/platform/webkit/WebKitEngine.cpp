#include "platform/webkit/WebKitEngine.hpp"

#include "platform/webkit/WebKitEngineView.hpp"

namespace pelunna::platform {

WebKitEngine::WebKitEngine(WebKitSession& session, GtkOverlay* container)
    : session_(session), container_(container) {}

std::unique_ptr<EngineView> WebKitEngine::makeView(const EngineConfiguration& configuration,
                                                   EngineViewDelegate& delegate) {
    return std::make_unique<WebKitEngineView>(configuration, delegate, session_, container_);
}

}  // namespace pelunna::platform
