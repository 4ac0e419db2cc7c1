#include "platform/webkit/WebKitEngine.hpp"

#include <string>

#include "platform/webkit/WebKitEngineView.hpp"

extern "C" {
#include "page-scripts-resource.h"
}

namespace pelunna::platform {
namespace {

constexpr char scriptResourcePrefix[] = "/com/pelunnalabs/Labs/scripts/";

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

// WebKit magnifies the page on a touchpad pinch or a two-finger touch; the kiosk zooms only by
// its keys, which this magnification would escape.
WebKitWebView* refuseMagnificationGestures(WebKitWebView* view) {
    GListModel* controllers = gtk_widget_observe_controllers(GTK_WIDGET(view));
    for (guint index = 0; index < g_list_model_get_n_items(controllers); ++index) {
        auto* controller =
            static_cast<GtkEventController*>(g_list_model_get_item(controllers, index));
        if (GTK_IS_GESTURE_ZOOM(controller)) {
            gtk_event_controller_set_propagation_phase(controller, GTK_PHASE_NONE);
        }
        g_object_unref(controller);
    }
    g_object_unref(controllers);
    return view;
}

}  // namespace

WebKitEngine::WebKitEngine(WebKitSession& session, GtkOverlay* container)
    : session_(session), container_(container) {}

WebKitEngine::~WebKitEngine() {
    g_clear_object(&settings_);
    g_clear_object(&contentManager_);
}

std::unique_ptr<EngineView> WebKitEngine::makeView(const EngineConfiguration& configuration,
                                                   EngineViewDelegate& delegate) {
    if (contentManager_ == nullptr) {
        contentManager_ = makeContentManager(configuration);
        settings_ = makeSettings(configuration, session_.drawingPath());
    }
    auto* view = WEBKIT_WEB_VIEW(g_object_ref_sink(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session_.networkSession(),
                     "user-content-manager", contentManager_, "settings", settings_, nullptr)));
    return std::make_unique<WebKitEngineView>(refuseMagnificationGestures(view),
                                              configuration.scriptMessageHandlerName, delegate,
                                              session_, container_);
}

WebKitWebView* WebKitEngine::makeRelatedView(WebKitWebView* opener) {
    // Without the opener's settings and content manager the popup would lose the user agent
    // and the page scripts.
    return refuseMagnificationGestures(WEBKIT_WEB_VIEW(g_object_ref_sink(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", opener, "settings",
                     webkit_web_view_get_settings(opener), "user-content-manager",
                     webkit_web_view_get_user_content_manager(opener), nullptr))));
}

}  // namespace pelunna::platform
