#include "platform/webkit/WebKitEngineView.hpp"

#include <string>
#include <utility>
#include <vector>

extern "C" {
#include "page-scripts-resource.h"
}

namespace pelunna::platform {
namespace {

constexpr char scriptResourcePrefix[] = "/com/pelunnalabs/Labs/scripts/";
// Where a WebKitWebView keeps the client's view that wraps it.
constexpr char engineViewKey[] = "pelunna-engine-view";

WebKitUserScript* makeUserScript(const UserScript& script) {
    const std::string path = scriptResourcePrefix + std::string(script.resourceName);
    GBytes* text = g_resource_lookup_data(pelunna_page_scripts_get_resource(), path.c_str(),
                                          G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    // The scripts are compiled in: a missing one is a build fault, not a run-time condition.
    g_assert(text != nullptr);
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(text, &size));
    const std::string source(data, size);
    g_bytes_unref(text);
    return webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                  script.injectionTime == InjectionTime::atDocumentStart
                                      ? WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START
                                      : WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END,
                                  nullptr, nullptr);
}

WebKitUserContentManager* makeContentManager(const EngineConfiguration& configuration) {
    WebKitUserContentManager* manager = webkit_user_content_manager_new();
    webkit_user_content_manager_register_script_message_handler(
        manager, configuration.scriptMessageHandlerName.c_str(), nullptr);
    for (const UserScript& script : configuration.userScripts) {
        WebKitUserScript* userScript = makeUserScript(script);
        webkit_user_content_manager_add_script(manager, userScript);
        webkit_user_script_unref(userScript);
    }
    return manager;
}

WebKitSettings* makeSettings(const EngineConfiguration& configuration, DrawingPath drawingPath) {
    WebKitSettings* settings = webkit_settings_new();
    if (drawingPath == DrawingPath::cpu) {
        webkit_settings_set_hardware_acceleration_policy(settings,
                                                         WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    }
    // "Name/Version" becomes the engine's application details, appended to its own user agent.
    const std::string& name = configuration.applicationNameForUserAgent;
    const auto slash = name.find('/');
    const std::string application = name.substr(0, slash);
    const std::string version = slash == std::string::npos ? "" : name.substr(slash + 1);
    webkit_settings_set_user_agent_with_application_details(
        settings, application.c_str(), version.empty() ? nullptr : version.c_str());
    webkit_settings_set_media_playback_requires_user_gesture(
        settings, configuration.mediaRequiresUserActionForPlayback ? TRUE : FALSE);
    // A page's element full screen would toggle the kiosk window and fight its lock.
    webkit_settings_set_enable_fullscreen(settings, FALSE);
    webkit_settings_set_enable_back_forward_navigation_gestures(settings, FALSE);
    return settings;
}

NavigationAction navigationAction(WebKitNavigationAction* action, bool hasTargetFrame) {
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
    return {uri != nullptr ? parseUrl(uri) : std::nullopt, hasTargetFrame};
}

gboolean onScriptMessage(WebKitUserContentManager* manager, JSCValue* value, gpointer data) {
    std::optional<std::string> body;
    if (jsc_value_is_string(value)) {
        char* text = jsc_value_to_string(value);
        body = text;
        g_free(text);
    }
    // The signal's detail is the handler's name, as the configuration registered it.
    const GSignalInvocationHint* hint = g_signal_get_invocation_hint(manager);
    static_cast<EngineViewDelegate*>(data)->didReceiveScriptMessage(g_quark_to_string(hint->detail),
                                                                    body);
    return TRUE;
}

gboolean refuseContextMenu(WebKitWebView*, WebKitContextMenu*, WebKitHitTestResult*, gpointer) {
    return TRUE;
}

gboolean cancelFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer) {
    webkit_file_chooser_request_cancel(request);
    return TRUE;
}

std::optional<std::string> hostOf(WebKitWebView* view) {
    // The engine names no origin with a request: the requesting page's address stands for it,
    // which is the frame's own in practice since no foreign sub-frame is ever let in.
    const char* uri = webkit_web_view_get_uri(view);
    const auto url = uri != nullptr ? parseUrl(uri) : std::nullopt;
    return url ? url->host : std::nullopt;
}

MediaCaptureType captureType(WebKitUserMediaPermissionRequest* request) {
    if (webkit_user_media_permission_is_for_display_device(request)) {
        return MediaCaptureType::screen;
    }
    const bool video = webkit_user_media_permission_is_for_video_device(request);
    const bool audio = webkit_user_media_permission_is_for_audio_device(request);
    if (video && audio) {
        return MediaCaptureType::cameraAndMicrophone;
    }
    return video ? MediaCaptureType::camera : MediaCaptureType::microphone;
}

void answer(WebKitPermissionRequest* request, bool allow) {
    if (allow) {
        webkit_permission_request_allow(request);
    } else {
        webkit_permission_request_deny(request);
    }
}

std::vector<CertificateProblem> certificateProblems(GTlsCertificateFlags errors) {
    static constexpr std::pair<GTlsCertificateFlags, CertificateProblem> named[] = {
        {G_TLS_CERTIFICATE_UNKNOWN_CA, CertificateProblem::unknownAuthority},
        {G_TLS_CERTIFICATE_BAD_IDENTITY, CertificateProblem::wrongHost},
        {G_TLS_CERTIFICATE_NOT_ACTIVATED, CertificateProblem::notYetValid},
        {G_TLS_CERTIFICATE_EXPIRED, CertificateProblem::expired},
        {G_TLS_CERTIFICATE_REVOKED, CertificateProblem::revoked},
        {G_TLS_CERTIFICATE_INSECURE, CertificateProblem::insecureAlgorithm},
        {G_TLS_CERTIFICATE_GENERIC_ERROR, CertificateProblem::other},
    };
    std::vector<CertificateProblem> problems;
    for (const auto& [flag, problem] : named) {
        if ((errors & flag) != 0) {
            problems.push_back(problem);
        }
    }
    return problems;
}

// An attachment is meant to be saved, not shown, whatever its type.
bool isShowable(WebKitResponsePolicyDecision* decision) {
    if (webkit_response_policy_decision_is_mime_type_supported(decision) == FALSE) {
        return false;
    }
    SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(
        webkit_response_policy_decision_get_response(decision));
    char* disposition = nullptr;
    const bool attachment =
        headers != nullptr &&
        soup_message_headers_get_content_disposition(headers, &disposition, nullptr) != FALSE &&
        g_ascii_strcasecmp(disposition, "attachment") == 0;
    g_free(disposition);
    return !attachment;
}

// The engine's cancellations and policy refusals mean that something else was decided; all the
// rest (refused, unresolved, unreachable, timed out, reset) that the server could not be reached.
LoadFailure failure(const GError* error) {
    const bool superseded = error != nullptr && (g_error_matches(error, WEBKIT_NETWORK_ERROR,
                                                                 WEBKIT_NETWORK_ERROR_CANCELLED) ||
                                                 error->domain == WEBKIT_POLICY_ERROR);
    return superseded ? LoadFailure::superseded : LoadFailure::unreachable;
}

// WebKit magnifies the page on a touchpad pinch or a two-finger touch; the kiosk zooms only by
// its keys, which this magnification would escape.
void refuseMagnificationGestures(GtkWidget* view) {
    GListModel* controllers = gtk_widget_observe_controllers(view);
    for (guint index = 0; index < g_list_model_get_n_items(controllers); ++index) {
        auto* controller =
            static_cast<GtkEventController*>(g_list_model_get_item(controllers, index));
        if (GTK_IS_GESTURE_ZOOM(controller)) {
            gtk_event_controller_set_propagation_phase(controller, GTK_PHASE_NONE);
        }
        g_object_unref(controller);
    }
    g_object_unref(controllers);
}

ProcessTermination termination(WebKitWebProcessTerminationReason reason) {
    switch (reason) {
        case WEBKIT_WEB_PROCESS_CRASHED:
            return ProcessTermination::crashed;
        case WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT:
            return ProcessTermination::exceededMemoryLimit;
        case WEBKIT_WEB_PROCESS_TERMINATED_BY_API:
            return ProcessTermination::endedByClient;
    }
    return ProcessTermination::crashed;
}

}  // namespace

WebKitEngineView::WebKitEngineView(const EngineConfiguration& configuration,
                                   EngineViewDelegate& delegate, const WebKitSession& session,
                                   GtkOverlay* container)
    : delegate_(delegate),
      container_(GTK_OVERLAY(g_object_ref(container))),
      contentManager_(makeContentManager(configuration)) {
    WebKitSettings* settings = makeSettings(configuration, session.drawingPath());
    // Popups inherit the session through their related view.
    view_ = WEBKIT_WEB_VIEW(g_object_ref_sink(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session.networkSession(),
                     "user-content-manager", contentManager_, "settings", settings, nullptr)));
    g_object_unref(settings);
    // Popups share the content manager, so this one connection hears every view's pages.
    const std::string signal = "script-message-received::" + configuration.scriptMessageHandlerName;
    g_signal_connect(contentManager_, signal.c_str(), G_CALLBACK(onScriptMessage), &delegate_);

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
      container_(GTK_OVERLAY(g_object_ref(opener.container_))),
      contentManager_(WEBKIT_USER_CONTENT_MANAGER(g_object_ref(opener.contentManager_))),
      isPopup_(true) {
    // Without the opener's settings and content manager the popup would lose the user agent
    // and the page scripts.
    view_ = WEBKIT_WEB_VIEW(
        g_object_ref_sink(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", opener.view_,
                                       "settings", webkit_web_view_get_settings(opener.view_),
                                       "user-content-manager", contentManager_, nullptr)));
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
    g_signal_handlers_disconnect_by_data(view_, this);
    g_object_set_data(G_OBJECT(view_), engineViewKey, nullptr);
    // The window may have let go of the overlay already, at quit.
    if (isPopup_ && gtk_widget_get_parent(GTK_WIDGET(view_)) == GTK_WIDGET(container_)) {
        gtk_overlay_remove_overlay(container_, GTK_WIDGET(view_));
    }
    if (!isPopup_) {
        g_signal_handlers_disconnect_by_data(g_network_monitor_get_default(), this);
        g_signal_handlers_disconnect_by_data(contentManager_, &delegate_);
    }
    g_object_unref(view_);
    g_object_unref(contentManager_);
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

void WebKitEngineView::connectSignals() {
    g_object_set_data(G_OBJECT(view_), engineViewKey, this);
    refuseMagnificationGestures(GTK_WIDGET(view_));
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

gboolean WebKitEngineView::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                          WebKitPolicyDecisionType type, gpointer self) {
    auto* view = static_cast<WebKitEngineView*>(self);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        if (isShowable(response)) {
            webkit_policy_decision_use(decision);
        } else {
            // The engine would download it; a kiosk drops it before a byte is kept.
            webkit_policy_decision_ignore(decision);
            WebKitURIRequest* request = webkit_response_policy_decision_get_request(response);
            view->delegate_.didBlockDownload(webkit_uri_request_get_uri(request));
        }
        return TRUE;
    }
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const bool hasTargetFrame = type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION;
    const NavigationPolicy policy =
        view->delegate_.decidePolicyForNavigationAction(navigationAction(action, hasTargetFrame));
    if (policy == NavigationPolicy::allow) {
        webkit_policy_decision_use(decision);
    } else {
        webkit_policy_decision_ignore(decision);
    }
    return TRUE;
}

GtkWidget* WebKitEngineView::onCreate(WebKitWebView*, WebKitNavigationAction* action,
                                      gpointer self) {
    auto* view = static_cast<WebKitEngineView*>(self);
    EngineView* popup = view->delegate_.createWebView(*view, navigationAction(action, false));
    if (popup == nullptr) {
        return nullptr;
    }
    return GTK_WIDGET(static_cast<WebKitEngineView*>(popup)->view_);
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
        const LoadFailure reason = view->loadTimedOut_ ? LoadFailure::unreachable : failure(error);
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

gboolean WebKitEngineView::onPermissionRequest(WebKitWebView* webView,
                                               WebKitPermissionRequest* request, gpointer self) {
    auto* view = static_cast<WebKitEngineView*>(self);
    if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
        // Held until the delegate answers, which may be after the desktop's prompt.
        g_object_ref(request);
        view->delegate_.requestMediaCapturePermission(
            hostOf(webView), captureType(WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request)),
            [request](bool grant) {
                answer(request, grant);
                g_object_unref(request);
            });
    } else if (WEBKIT_IS_DEVICE_INFO_PERMISSION_REQUEST(request)) {
        // Device names follow the microphone decision, without asking.
        answer(request, view->delegate_.allowsDeviceInformation(hostOf(webView)));
    } else {
        webkit_permission_request_deny(request);
    }
    return TRUE;
}

gboolean WebKitEngineView::onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog,
                                          gpointer self) {
    auto* view = static_cast<WebKitEngineView*>(self);
    if (webkit_script_dialog_get_dialog_type(dialog) ==
        WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
        // The kiosk never asks whether a page may be left; answered at once, as the engine allows.
        webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
        return TRUE;
    }
    const std::string message = webkit_script_dialog_get_message(dialog);
    // Answered later, from the dialog's response; the engine's dialog is closed only then.
    const auto answer = [dialog = webkit_script_dialog_ref(dialog)](auto&& set) {
        set(dialog);
        webkit_script_dialog_close(dialog);
        webkit_script_dialog_unref(dialog);
    };
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
        case WEBKIT_SCRIPT_DIALOG_ALERT:
            view->delegate_.runJavaScriptAlertPanel(message, [answer] { answer([](auto*) {}); });
            break;
        case WEBKIT_SCRIPT_DIALOG_CONFIRM:
            view->delegate_.runJavaScriptConfirmPanel(message, [answer](bool confirmed) {
                answer([confirmed](WebKitScriptDialog* d) {
                    webkit_script_dialog_confirm_set_confirmed(d, confirmed ? TRUE : FALSE);
                });
            });
            break;
        case WEBKIT_SCRIPT_DIALOG_PROMPT: {
            const char* defaultText = webkit_script_dialog_prompt_get_default_text(dialog);
            view->delegate_.runJavaScriptTextInputPanel(
                message,
                defaultText != nullptr ? std::optional<std::string>(defaultText) : std::nullopt,
                [answer](std::optional<std::string> text) {
                    // Left without a text, the page's prompt() returns null.
                    answer([&text](WebKitScriptDialog* d) {
                        if (text) {
                            webkit_script_dialog_prompt_set_text(d, text->c_str());
                        }
                    });
                });
            break;
        }
        case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
            break;
    }
    return TRUE;
}

}  // namespace pelunna::platform
