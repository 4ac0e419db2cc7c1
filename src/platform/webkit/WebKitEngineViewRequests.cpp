// What a page asks of its view: where it may go, a popup, a permission, a dialog.
#include <string>

#include "platform/webkit/WebKitEngineView.hpp"
#include "platform/webkit/WebKitValues.hpp"

namespace pelunna::platform {
namespace {

NavigationAction navigationAction(WebKitNavigationAction* action, bool hasTargetFrame) {
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
    return {uri != nullptr ? parseUrl(uri) : std::nullopt, hasTargetFrame};
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

std::optional<std::string> hostOf(WebKitWebView* view) {
    // The engine names no origin with a request: the requesting page's address stands for it,
    // which is the frame's own in practice since no foreign sub-frame is ever let in.
    const char* uri = webkit_web_view_get_uri(view);
    const auto url = uri != nullptr ? parseUrl(uri) : std::nullopt;
    return url ? url->host : std::nullopt;
}

void answer(WebKitPermissionRequest* request, bool allow) {
    if (allow) {
        webkit_permission_request_allow(request);
    } else {
        webkit_permission_request_deny(request);
    }
}

}  // namespace

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

gboolean WebKitEngineView::onPermissionRequest(WebKitWebView* webView,
                                               WebKitPermissionRequest* request, gpointer self) {
    auto* view = static_cast<WebKitEngineView*>(self);
    if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
        auto* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
        // Held until the delegate answers, which may be after the desktop's prompt.
        g_object_ref(request);
        view->delegate_.requestMediaCapturePermission(
            hostOf(webView),
            captureType(webkit_user_media_permission_is_for_display_device(media) != FALSE,
                        webkit_user_media_permission_is_for_video_device(media) != FALSE,
                        webkit_user_media_permission_is_for_audio_device(media) != FALSE),
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
