#include "web/WebView.hpp"

#include <string>

#include "web/PageScripts.hpp"

namespace pelunna::web {
namespace {

EngineConfiguration makeConfiguration(const ServiceConfig& service) {
    EngineConfiguration configuration;
    configuration.applicationNameForUserAgent = service.applicationNameForUserAgent;
    configuration.mediaRequiresUserActionForPlayback = false;
    configuration.scriptMessageHandlerName = Coordinator::consoleChannel;
    configuration.userScripts.assign(pageScripts.begin(), pageScripts.end());
    return configuration;
}

}  // namespace

WebView::WebView(Engine& engine, WebServices services, const ServiceConfig& service)
    : log_(services.log), coordinator_(services, service.allowedDomain, service.startUrl) {
    // Nothing waits for the cache removal: the start page loads alongside it.
    engine.dataStore().removeData(WebsiteDataTypes::caches,
                                  [&log = log_] { log.print("🧹 Cache cleared"); });
    view_ = engine.makeView(makeConfiguration(service), coordinator_);
    coordinator_.setMainView(*view_);
    view_->loadRequest(service.startUrl, Coordinator::startRequestTimeoutSeconds,
                       CachePolicy::reloadIgnoringCacheData);
}

void WebView::update(double zoomLevel, bool refreshTrigger) {
    view_->setPageZoom(zoomLevel);
    if (coordinator_.lastRefreshState() == refreshTrigger) {
        return;
    }
    coordinator_.setLastRefreshState(refreshTrigger);
    log_.print("🔄 Reloading from origin...");
    coordinator_.reloadMainView();
}

}  // namespace pelunna::web
