#include "platform/webkit/WebKitEngine.hpp"

#include "platform/webkit/WebKitEngineView.hpp"

namespace pelunna::platform {

WebKitEngine::WebKitEngine(WebsiteDataStore& dataStore, GtkOverlay* container)
    : dataStore_(dataStore), container_(container) {}

std::unique_ptr<EngineView> WebKitEngine::makeView(const EngineConfiguration& configuration,
                                                   EngineViewDelegate& delegate) {
    auto view = std::make_unique<WebKitEngineView>(configuration, delegate);
    gtk_widget_set_hexpand(view->widget(), TRUE);
    gtk_widget_set_vexpand(view->widget(), TRUE);
    gtk_overlay_set_child(container_, view->widget());
    return view;
}

}  // namespace pelunna::platform
