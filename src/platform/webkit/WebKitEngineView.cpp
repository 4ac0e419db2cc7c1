#include "platform/webkit/WebKitEngineView.hpp"

#include <string>

extern "C" {
#include "page-scripts-resource.h"
}

namespace pelunna::platform {
namespace {

constexpr char scriptResourcePrefix[] = "/com/pelunnalabs/Labs/scripts/";

GBytes* scriptText(std::string_view resourceName) {
    const std::string path = scriptResourcePrefix + std::string(resourceName);
    GBytes* text = g_resource_lookup_data(pelunna_page_scripts_get_resource(), path.c_str(),
                                          G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    // The scripts are compiled in: a missing one is a build fault, not a run-time condition.
    g_assert(text != nullptr);
    return text;
}

WebKitUserScript* makeUserScript(const UserScript& script) {
    GBytes* text = scriptText(script.resourceName);
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(text, &size));
    const std::string source(data, size);
    g_bytes_unref(text);
    return webkit_user_script_new(source.c_str(),
                                  script.forMainFrameOnly ? WEBKIT_USER_CONTENT_INJECT_TOP_FRAME
                                                          : WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                  script.injectionTime == InjectionTime::atDocumentStart
                                      ? WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START
                                      : WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END,
                                  nullptr, nullptr);
}

WebKitSettings* makeSettings(const EngineConfiguration& configuration) {
    WebKitSettings* settings = webkit_settings_new();
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

gboolean onScriptMessage(WebKitUserContentManager* /*manager*/, JSCValue* value, gpointer data) {
    auto* delegate = static_cast<EngineViewDelegate*>(data);
    std::optional<std::string> body;
    if (jsc_value_is_string(value)) {
        char* text = jsc_value_to_string(value);
        body = text;
        g_free(text);
    }
    delegate->didReceiveScriptMessage("logging", body);
    return TRUE;
}

gboolean refuseContextMenu(WebKitWebView*, WebKitContextMenu*, WebKitHitTestResult*, gpointer) {
    return TRUE;
}

gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, gpointer) {
    // A kiosk downloads nothing: what the engine cannot show is dropped.
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE &&
        !webkit_response_policy_decision_is_mime_type_supported(
            WEBKIT_RESPONSE_POLICY_DECISION(decision))) {
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    return FALSE;
}

gboolean cancelFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer) {
    webkit_file_chooser_request_cancel(request);
    return TRUE;
}

gboolean denyPermission(WebKitWebView*, WebKitPermissionRequest* request, gpointer) {
    webkit_permission_request_deny(request);
    return TRUE;
}

gboolean answerBeforeUnload(WebKitWebView*, WebKitScriptDialog* dialog, gpointer) {
    if (webkit_script_dialog_get_dialog_type(dialog) !=
        WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
        return FALSE;
    }
    webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
    return TRUE;
}

gboolean suppressErrorPage(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer) {
    return TRUE;
}

gboolean suppressTlsErrorPage(WebKitWebView*, gchar*, GTlsCertificate*, GTlsCertificateFlags,
                              gpointer) {
    return TRUE;
}

}  // namespace

WebKitEngineView::WebKitEngineView(const EngineConfiguration& configuration,
                                   EngineViewDelegate& delegate)
    : delegate_(delegate), contentManager_(webkit_user_content_manager_new()) {
    const std::string& handler = configuration.scriptMessageHandlerName;
    webkit_user_content_manager_register_script_message_handler(contentManager_, handler.c_str(),
                                                                nullptr);
    const std::string signal = "script-message-received::" + handler;
    g_signal_connect(contentManager_, signal.c_str(), G_CALLBACK(onScriptMessage), &delegate_);
    for (const UserScript& script : configuration.userScripts) {
        WebKitUserScript* userScript = makeUserScript(script);
        webkit_user_content_manager_add_script(contentManager_, userScript);
        webkit_user_script_unref(userScript);
    }

    WebKitSettings* settings = makeSettings(configuration);
    view_ = WEBKIT_WEB_VIEW(
        g_object_ref_sink(g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager",
                                       contentManager_, "settings", settings, nullptr)));
    g_object_unref(settings);

    const GdkRGBA black{0, 0, 0, 1};
    webkit_web_view_set_background_color(view_, &black);

    g_signal_connect(view_, "context-menu", G_CALLBACK(refuseContextMenu), nullptr);
    g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), nullptr);
    g_signal_connect(view_, "run-file-chooser", G_CALLBACK(cancelFileChooser), nullptr);
    g_signal_connect(view_, "permission-request", G_CALLBACK(denyPermission), nullptr);
    g_signal_connect(view_, "script-dialog", G_CALLBACK(answerBeforeUnload), nullptr);
    g_signal_connect(view_, "load-failed", G_CALLBACK(suppressErrorPage), nullptr);
    g_signal_connect(view_, "load-failed-with-tls-errors", G_CALLBACK(suppressTlsErrorPage),
                     nullptr);
    g_signal_connect(view_, "load-changed",
                     G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer self) {
                         if (event != WEBKIT_LOAD_STARTED && event != WEBKIT_LOAD_REDIRECTED) {
                             static_cast<WebKitEngineView*>(self)->cancelLoadTimeout();
                         }
                     }),
                     this);
}

WebKitEngineView::~WebKitEngineView() {
    cancelLoadTimeout();
    g_signal_handlers_disconnect_by_data(contentManager_, &delegate_);
    g_signal_handlers_disconnect_by_data(view_, this);
    g_object_unref(view_);
    g_object_unref(contentManager_);
}

void WebKitEngineView::loadRequest(const std::string& url, double timeoutSeconds) {
    cancelLoadTimeout();
    // The engine has no request timeout: a start load that has not committed in time is stopped,
    // which the engine reports as a failed provisional load.
    loadTimeout_ = g_timeout_add(
        static_cast<guint>(timeoutSeconds * 1000),
        +[](gpointer self) -> gboolean {
            auto* view = static_cast<WebKitEngineView*>(self);
            view->loadTimeout_ = 0;
            webkit_web_view_stop_loading(view->view_);
            return G_SOURCE_REMOVE;
        },
        this);
    webkit_web_view_load_uri(view_, url.c_str());
}

void WebKitEngineView::setPageZoom(double zoom) {
    webkit_web_view_set_zoom_level(view_, zoom);
}

void WebKitEngineView::reloadFromOrigin() {
    webkit_web_view_reload_bypass_cache(view_);
}

void WebKitEngineView::cancelLoadTimeout() {
    if (loadTimeout_ != 0) {
        g_source_remove(loadTimeout_);
        loadTimeout_ = 0;
    }
}

}  // namespace pelunna::platform
