#include "platform/webkit/WebKitEngineView.hpp"

#include <string>

#include "platform/webkit/WebKitEngine.hpp"
#include "platform/webkit/WebKitValues.hpp"

namespace pelunna::platform {
namespace {

// Where a WebKitWebView keeps the client's view that wraps it.
constexpr char engineViewKey[] = "pelunna-engine-view";

gboolean refuseContextMenu(WebKitWebView*, WebKitContextMenu*, WebKitHitTestResult*, gpointer) {
    return TRUE;
}

gboolean cancelFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer) {
    webkit_file_chooser_request_cancel(request);
    return TRUE;
}

}  // namespace

WebKitEngineView::WebKitEngineView(WebKitWebView* view, const std::string& scriptMessageHandlerName,
                                   EngineViewDelegate& delegate, WebKitSession& session,
                                   GtkOverlay* container)
    : delegate_(delegate),
      session_(session),
      container_(GTK_OVERLAY(g_object_ref(container))),
      view_(view) {
    // Popups share the content manager, so this one connection hears every view's pages.
    const std::string signal = "script-message-received::" + scriptMessageHandlerName;
    g_signal_connect(webkit_web_view_get_user_content_manager(view_), signal.c_str(),
                     G_CALLBACK(onScriptMessage), this);

    notice_ = std::make_unique<NoticeWidget>(container_);
    // A lab that could not be reached is tried again as soon as the desktop has a network.
    g_signal_connect(g_network_monitor_get_default(), "network-changed",
                     G_CALLBACK(onNetworkChanged), this);
    connectSignals();
    gtk_widget_set_hexpand(GTK_WIDGET(view_), TRUE);
    gtk_widget_set_vexpand(GTK_WIDGET(view_), TRUE);
    gtk_overlay_set_child(container_, GTK_WIDGET(view_));
}

WebKitEngineView::WebKitEngineView(WebKitEngineView& opener)
    : delegate_(opener.delegate_),
      session_(opener.session_),
      container_(GTK_OVERLAY(g_object_ref(opener.container_))),
      view_(WebKitEngine::makeRelatedView(opener.view_)) {
    connectSignals();
    // Shown once the engine says the page is ready to be seen.
    gtk_widget_set_visible(GTK_WIDGET(view_), FALSE);
    g_signal_connect(view_, "ready-to-show", G_CALLBACK(+[](GtkWidget* widget, gpointer) {
                         gtk_widget_set_visible(widget, TRUE);
                     }),
                     nullptr);
    gtk_overlay_add_overlay(container_, GTK_WIDGET(view_));
}

WebKitEngineView::~WebKitEngineView() {
    cancelLoadTimeout();
    if (mediaActive_) {
        session_.viewMediaActivityChanged(false);
    }
    g_signal_handlers_disconnect_by_data(view_, this);
    g_object_set_data(G_OBJECT(view_), engineViewKey, nullptr);
    g_signal_handlers_disconnect_by_data(g_network_monitor_get_default(), this);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_user_content_manager(view_), this);
    // The main view is the overlay's child, a popup one of its overlays; the window may have let
    // go of the overlay already, at quit. A seat that starts over keeps no dead view.
    if (gtk_overlay_get_child(container_) == GTK_WIDGET(view_)) {
        gtk_overlay_set_child(container_, nullptr);
    } else if (gtk_widget_get_parent(GTK_WIDGET(view_)) == GTK_WIDGET(container_)) {
        gtk_overlay_remove_overlay(container_, GTK_WIDGET(view_));
    }
    g_object_unref(view_);
    g_object_unref(container_);
}

void WebKitEngineView::reportBlockedDownload(WebKitWebView* webView, const std::string& url) {
    auto* view =
        webView != nullptr
            ? static_cast<WebKitEngineView*>(g_object_get_data(G_OBJECT(webView), engineViewKey))
            : nullptr;
    if (view != nullptr) {
        view->delegate_.didBlockDownload(url);
    }
}

gboolean WebKitEngineView::onScriptMessage(WebKitUserContentManager* manager, JSCValue* value,
                                           gpointer self) {
    std::optional<std::string> body;
    if (jsc_value_is_string(value)) {
        char* text = jsc_value_to_string(value);
        body = text;
        g_free(text);
    }
    // The signal's detail is the handler's name, as the configuration registered it.
    const GSignalInvocationHint* hint = g_signal_get_invocation_hint(manager);
    static_cast<WebKitEngineView*>(self)->delegate_.didReceiveScriptMessage(
        g_quark_to_string(hint->detail), body);
    return TRUE;
}

void WebKitEngineView::connectSignals() {
    g_object_set_data(G_OBJECT(view_), engineViewKey, this);
    g_signal_connect(view_, "context-menu", G_CALLBACK(refuseContextMenu), nullptr);
    g_signal_connect(view_, "print", G_CALLBACK(onPrint), this);
    g_signal_connect(view_, "web-process-terminated", G_CALLBACK(onWebProcessTerminated), this);
    g_signal_connect(view_, "notify::is-web-process-responsive",
                     G_CALLBACK(onResponsivenessChanged), this);
    g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(view_, "create", G_CALLBACK(onCreate), this);
    g_signal_connect(view_, "close", G_CALLBACK(onClose), this);
    g_signal_connect(view_, "load-changed", G_CALLBACK(onLoadChanged), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(onLoadFailed), this);
    g_signal_connect(view_, "load-failed-with-tls-errors", G_CALLBACK(onLoadFailedWithTlsErrors),
                     this);
    g_signal_connect(view_, "script-dialog", G_CALLBACK(onScriptDialog), this);
    g_signal_connect(view_, "run-file-chooser", G_CALLBACK(cancelFileChooser), this);
    g_signal_connect(view_, "permission-request", G_CALLBACK(onPermissionRequest), this);
    for (const char* media : {"notify::is-playing-audio", "notify::microphone-capture-state"}) {
        g_signal_connect(view_, media, G_CALLBACK(onMediaChanged), this);
    }
}

void WebKitEngineView::onMediaChanged(GObject*, GParamSpec*, gpointer self) {
    auto* view = static_cast<WebKitEngineView*>(self);
    const bool active = webkit_web_view_is_playing_audio(view->view_) != FALSE ||
                        webkit_web_view_get_microphone_capture_state(view->view_) ==
                            WEBKIT_MEDIA_CAPTURE_STATE_ACTIVE;
    if (active != view->mediaActive_) {
        view->mediaActive_ = active;
        view->session_.viewMediaActivityChanged(active);
    }
}

void WebKitEngineView::loadRequest(const std::string& url, std::optional<double> timeoutSeconds,
                                   CachePolicy cachePolicy) {
    cancelLoadTimeout();
    if (timeoutSeconds) {
        // The engine has no request timeout: a load that has not committed in time is stopped,
        // which the engine reports as a failed provisional load.
        loadTimeout_ = g_timeout_add(
            static_cast<guint>(*timeoutSeconds * 1000),
            +[](gpointer self) -> gboolean {
                auto* view = static_cast<WebKitEngineView*>(self);
                view->loadTimeout_ = 0;
                view->loadTimedOut_ = true;
                webkit_web_view_stop_loading(view->view_);
                return G_SOURCE_REMOVE;
            },
            this);
    }
    loadTimedOut_ = false;
    WebKitURIRequest* request = webkit_uri_request_new(url.c_str());
    SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(request);
    // The engine takes no cache policy per load: these headers make its cache, and any proxy on
    // the way, fetch the page anew, as its own reload from origin does.
    if (cachePolicy == CachePolicy::reloadIgnoringCacheData && headers != nullptr) {
        soup_message_headers_replace(headers, "Cache-Control", "no-cache");
        soup_message_headers_replace(headers, "Pragma", "no-cache");
    }
    webkit_web_view_load_request(view_, request);
    g_object_unref(request);
}

void WebKitEngineView::setPageZoom(double zoom) {
    webkit_web_view_set_zoom_level(view_, zoom);
}

void WebKitEngineView::reloadFromOrigin() {
    webkit_web_view_reload_bypass_cache(view_);
}

void WebKitEngineView::terminateWebProcess() {
    cancelLoadTimeout();
    webkit_web_view_terminate_web_process(view_);
}

bool WebKitEngineView::isWebProcessResponsive() const {
    return webkit_web_view_get_is_web_process_responsive(view_) != FALSE;
}

void WebKitEngineView::showNotice(const std::optional<Notice>& notice) {
    // A popup covers the view it was opened from: the notice is that view's.
    if (notice_ != nullptr) {
        notice_->show(notice);
    }
}

std::optional<std::string> WebKitEngineView::currentUrl() const {
    const char* uri = webkit_web_view_get_uri(view_);
    if (uri == nullptr || *uri == '\0') {
        return std::nullopt;
    }
    return std::string(uri);
}

std::unique_ptr<EngineView> WebKitEngineView::makePopup() {
    return std::unique_ptr<EngineView>(new WebKitEngineView(*this));
}

void WebKitEngineView::cancelLoadTimeout() {
    if (loadTimeout_ != 0) {
        g_source_remove(loadTimeout_);
        loadTimeout_ = 0;
    }
}

void WebKitEngineView::onClose(WebKitWebView*, gpointer self) {
    auto* view = static_cast<WebKitEngineView*>(self);
    // The delegate may destroy this view: nothing of it is touched afterwards.
    view->delegate_.webViewDidClose(*view);
}

void WebKitEngineView::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
    auto* view = static_cast<WebKitEngineView*>(self);
    switch (event) {
        case WEBKIT_LOAD_STARTED:
            view->loadFailed_ = false;
            break;
        case WEBKIT_LOAD_REDIRECTED:
            break;
        case WEBKIT_LOAD_COMMITTED:
            view->cancelLoadTimeout();
            view->delegate_.didCommitNavigation(*view);
            break;
        case WEBKIT_LOAD_FINISHED:
            view->cancelLoadTimeout();
            // The engine also finishes a load that failed; that one has been reported already.
            if (!view->loadFailed_) {
                view->delegate_.didFinishNavigation(*view);
            }
            break;
    }
}

gboolean WebKitEngineView::onLoadFailed(WebKitWebView*, WebKitLoadEvent event, gchar* /*uri*/,
                                        GError* error, gpointer self) {
    auto* view = static_cast<WebKitEngineView*>(self);
    view->loadFailed_ = true;
    const std::string description = error != nullptr ? error->message : "";
    if (event == WEBKIT_LOAD_COMMITTED) {
        view->delegate_.didFailNavigation(description);
    } else {
        const LoadFailure reason =
            view->loadTimedOut_ ? LoadFailure::unreachable : loadFailure(error);
        view->loadTimedOut_ = false;
        view->delegate_.didFailProvisionalNavigation(*view, description, reason);
    }
    // No stock error page: the view keeps what it showed.
    return TRUE;
}

gboolean WebKitEngineView::onLoadFailedWithTlsErrors(WebKitWebView*, gchar* uri, GTlsCertificate*,
                                                     GTlsCertificateFlags errors, gpointer self) {
    auto* view = static_cast<WebKitEngineView*>(self);
    // The engine still finishes this load: it must not read as a success.
    view->loadFailed_ = true;
    view->cancelLoadTimeout();
    const auto url = uri != nullptr ? parseUrl(uri) : std::nullopt;
    view->delegate_.didFailCertificateCheck(*view, url && url->host ? *url->host : std::string(),
                                            certificateProblems(errors));
    return TRUE;
}

void WebKitEngineView::onWebProcessTerminated(WebKitWebView*,
                                              WebKitWebProcessTerminationReason reason,
                                              gpointer self) {
    auto* view = static_cast<WebKitEngineView*>(self);
    view->cancelLoadTimeout();
    // The delegate may destroy this view: nothing of it is touched afterwards.
    view->delegate_.webProcessDidTerminate(*view, termination(reason));
}

void WebKitEngineView::onNetworkChanged(GNetworkMonitor*, gboolean available, gpointer self) {
    if (available != FALSE) {
        static_cast<WebKitEngineView*>(self)->delegate_.networkDidBecomeAvailable();
    }
}

void WebKitEngineView::onResponsivenessChanged(GObject*, GParamSpec*, gpointer self) {
    auto* view = static_cast<WebKitEngineView*>(self);
    view->delegate_.webProcessResponsivenessDidChange(*view, view->isWebProcessResponsive());
}

gboolean WebKitEngineView::onPrint(WebKitWebView*, WebKitPrintOperation*, gpointer self) {
    static_cast<WebKitEngineView*>(self)->delegate_.didBlockPrint();
    return TRUE;
}

}  // namespace pelunna::platform
