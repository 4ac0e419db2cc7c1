#pragma once

#include <webkit/webkit.h>

#include "platform/Engine.hpp"

namespace pelunna::platform {

// A WebKitWebView behind the EngineView interface, laid into an overlay, its engine signals
// turned into delegate calls. The engine's defaults are tightened for a kiosk: no downloads, no
// file chooser, no stock error page, no page full screen, no permission but those decided here.
class WebKitEngineView final : public EngineView {
public:
    // The main view: configured afresh, shown as the overlay's child, without a context menu.
    WebKitEngineView(const EngineConfiguration& configuration, EngineViewDelegate& delegate,
                     GtkOverlay* container);
    ~WebKitEngineView() override;
    WebKitEngineView(const WebKitEngineView&) = delete;
    WebKitEngineView& operator=(const WebKitEngineView&) = delete;

    void loadRequest(const std::string& url, std::optional<double> timeoutSeconds,
                     CachePolicy cachePolicy) override;
    void setPageZoom(double zoom) override;
    void reloadFromOrigin() override;
    [[nodiscard]] std::optional<std::string> currentUrl() const override;
    std::unique_ptr<EngineView> makePopup() override;

    [[nodiscard]] WebKitWebView* webView() const { return view_; }

private:
    // A popup: related to its opener, sharing its settings, scripts and delegate.
    WebKitEngineView(WebKitEngineView& opener);

    void connectSignals();
    void cancelLoadTimeout();

    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self);
    static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self);
    static void onClose(WebKitWebView*, gpointer self);
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent event, gchar* uri, GError* error,
                                 gpointer self);
    static gboolean onPermissionRequest(WebKitWebView* webView, WebKitPermissionRequest* request,
                                        gpointer self);
    static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self);

    EngineViewDelegate& delegate_;
    GtkOverlay* container_;
    WebKitUserContentManager* contentManager_;
    WebKitWebView* view_;
    bool isPopup_ = false;
    guint loadTimeout_ = 0;
    bool loadFailed_ = false;
};

}  // namespace pelunna::platform
