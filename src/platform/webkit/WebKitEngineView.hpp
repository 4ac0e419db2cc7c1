#pragma once

#include <webkit/webkit.h>

#include <memory>
#include <string>

#include "platform/webkit/NoticeWidget.hpp"
#include "platform/webkit/WebKitSession.hpp"
#include "ports/Engine.hpp"

namespace pelunna::platform {

// A WebKitWebView behind the EngineView interface, laid into an overlay, its engine signals
// turned into delegate calls. The engine's defaults are tightened for a kiosk: no downloads, no
// printing, no file chooser, no context menu, no stock error page, no page full screen, no
// permission but those decided here.
class WebKitEngineView final : public EngineView {
public:
    // The main view, made and configured by the engine (held from now on), shown as the
    // overlay's child; its delegate hears the script messages of every view.
    WebKitEngineView(WebKitWebView* view, const std::string& scriptMessageHandlerName,
                     EngineViewDelegate& delegate, WebKitSession& session, GtkOverlay* container);
    ~WebKitEngineView() override;
    WebKitEngineView(const WebKitEngineView&) = delete;
    WebKitEngineView& operator=(const WebKitEngineView&) = delete;

    void loadRequest(const std::string& url, std::optional<double> timeoutSeconds,
                     CachePolicy cachePolicy) override;
    void setPageZoom(double zoom) override;
    void reloadFromOrigin() override;
    void terminateWebProcess() override;
    [[nodiscard]] bool isWebProcessResponsive() const override;
    void showNotice(const std::optional<Notice>& notice) override;
    [[nodiscard]] std::optional<std::string> currentUrl() const override;
    std::unique_ptr<EngineView> makePopup() override;

    // Tells the delegate of the client's view that started a download that it was refused.
    static void reportBlockedDownload(WebKitWebView* webView, const std::string& url);

private:
    // A popup: related to its opener, sharing its settings, scripts and delegate.
    WebKitEngineView(WebKitEngineView& opener);

    void connectSignals();
    void cancelLoadTimeout();

    static gboolean onScriptMessage(WebKitUserContentManager* manager, JSCValue* value,
                                    gpointer self);
    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self);
    static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self);
    static void onClose(WebKitWebView*, gpointer self);
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent event, gchar* uri, GError* error,
                                 gpointer self);
    static gboolean onLoadFailedWithTlsErrors(WebKitWebView*, gchar* uri, GTlsCertificate*,
                                              GTlsCertificateFlags errors, gpointer self);
    static void onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                       gpointer self);
    static void onResponsivenessChanged(GObject*, GParamSpec*, gpointer self);
    static void onNetworkChanged(GNetworkMonitor*, gboolean available, gpointer self);
    static void onMediaChanged(GObject*, GParamSpec*, gpointer self);
    static gboolean onPrint(WebKitWebView*, WebKitPrintOperation*, gpointer self);
    static gboolean onPermissionRequest(WebKitWebView* webView, WebKitPermissionRequest* request,
                                        gpointer self);
    static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self);

    EngineViewDelegate& delegate_;
    // Hears whether this view plays sound or records: a learner doing either is not idle.
    WebKitSession& session_;
    bool mediaActive_ = false;
    // Held: a popup may outlive the window that showed it.
    GtkOverlay* container_;
    WebKitWebView* view_;
    // The main view's; a popup has none.
    std::unique_ptr<NoticeWidget> notice_;
    guint loadTimeout_ = 0;
    bool loadFailed_ = false;
    // The load was stopped by its timeout, which the engine reports as a cancellation.
    bool loadTimedOut_ = false;
};

}  // namespace pelunna::platform
