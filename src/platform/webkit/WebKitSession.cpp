#include "platform/webkit/WebKitSession.hpp"

#include <memory>
#include <utility>

#include "platform/webkit/WebKitEngineView.hpp"

namespace pelunna::platform {
namespace {

WebKitWebsiteDataTypes engineTypes(WebsiteDataTypes types) {
    switch (types) {
        case WebsiteDataTypes::caches:
            return static_cast<WebKitWebsiteDataTypes>(
                WEBKIT_WEBSITE_DATA_DISK_CACHE | WEBKIT_WEBSITE_DATA_MEMORY_CACHE |
                WEBKIT_WEBSITE_DATA_OFFLINE_APPLICATION_CACHE);
        case WebsiteDataTypes::all:
            return WEBKIT_WEBSITE_DATA_ALL;
    }
    return WEBKIT_WEBSITE_DATA_ALL;
}

// Whatever started it (a download link, an attachment, a context-menu item), nothing is written.
void cancelDownload(WebKitNetworkSession*, WebKitDownload* download, gpointer) {
    webkit_download_cancel(download);
    WebKitURIRequest* request = webkit_download_get_request(download);
    const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
    WebKitEngineView::reportBlockedDownload(webkit_download_get_web_view(download),
                                            uri != nullptr ? uri : "");
}

}  // namespace

WebKitSession::WebKitSession(DrawingPath drawingPath)
    : session_(webkit_network_session_new_ephemeral()), drawingPath_(drawingPath) {
    webkit_network_session_set_persistent_credential_storage_enabled(session_, FALSE);
    // No exception is ever made for a certificate nobody trusts.
    webkit_network_session_set_tls_errors_policy(session_, WEBKIT_TLS_ERRORS_POLICY_FAIL);
    g_signal_connect(session_, "download-started", G_CALLBACK(cancelDownload), nullptr);
}

WebKitSession::~WebKitSession() {
    g_object_unref(session_);
}

void WebKitSession::removeData(WebsiteDataTypes types, std::function<void()> completion) {
    auto* pending = new std::function<void()>(std::move(completion));
    // A timespan of 0 removes every record of the types, whatever its age.
    webkit_website_data_manager_clear(
        webkit_network_session_get_website_data_manager(session_), engineTypes(types), 0, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::function<void()>> done(static_cast<std::function<void()>*>(data));
            // Failures are not reported: the completion only says the removal is over.
            webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result,
                                                     nullptr);
            (*done)();
        },
        pending);
}

void WebKitSession::viewMediaActivityChanged(bool active) {
    const bool wasActive = activeViews_ > 0;
    activeViews_ += active ? 1 : -1;
    if ((activeViews_ > 0) != wasActive && mediaListener_) {
        mediaListener_(activeViews_ > 0);
    }
}

}  // namespace pelunna::platform
