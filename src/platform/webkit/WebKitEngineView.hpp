#pragma once

#include <webkit/webkit.h>

#include "platform/Engine.hpp"

namespace pelunna::platform {

// A WebKitWebView behind the EngineView interface, with the engine's defaults tightened for a
// kiosk: no context menu, no downloads, no file chooser, no stock error page, no page full screen.
class WebKitEngineView final : public EngineView {
  public:
    WebKitEngineView(const EngineConfiguration& configuration, EngineViewDelegate& delegate);
    ~WebKitEngineView() override;
    WebKitEngineView(const WebKitEngineView&) = delete;
    WebKitEngineView& operator=(const WebKitEngineView&) = delete;

    void loadRequest(const std::string& url, double timeoutSeconds) override;
    void setPageZoom(double zoom) override;
    void reloadFromOrigin() override;

    [[nodiscard]] GtkWidget* widget() const { return GTK_WIDGET(view_); }

  private:
    void cancelLoadTimeout();

    EngineViewDelegate& delegate_;
    WebKitUserContentManager* contentManager_;
    WebKitWebView* view_;
    guint loadTimeout_ = 0;
};

}  // namespace pelunna::platform
