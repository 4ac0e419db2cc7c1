#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Engine.hpp"
#include "web/WebServices.hpp"

namespace pelunna::web {

// The delegate of the web view and of its popups: keeps navigation on the service's domain,
// opens and closes the service's popups, logs load outcomes, passes the desktop's microphone
// decision through to the service's pages, answers page dialogs and prints what the console
// bridge posts.
class Coordinator final : public EngineViewDelegate {
public:
    Coordinator(WebServices services, std::string allowedDomain);

    void didReceiveScriptMessage(std::string_view name,
                                 const std::optional<std::string>& body) override;

    NavigationPolicy decidePolicyForNavigationAction(const NavigationAction& action) override;
    EngineView* createWebView(EngineView& requesting, const NavigationAction& action) override;
    void webViewDidClose(EngineView& view) override;
    void didFinishNavigation(EngineView& view) override;
    void didFailNavigation(const std::string& description) override;
    void didFailProvisionalNavigation(const std::string& description) override;

    void requestMediaCapturePermission(const std::optional<std::string>& originHost,
                                       MediaCaptureType type,
                                       std::function<void(bool grant)> decisionHandler) override;
    bool allowsDeviceInformation(const std::optional<std::string>& originHost) override;

    void runJavaScriptAlertPanel(const std::string& message,
                                 std::function<void()> completion) override;
    void runJavaScriptConfirmPanel(const std::string& message,
                                   std::function<void(bool)> completion) override;
    void runJavaScriptTextInputPanel(
        const std::string& prompt, const std::optional<std::string>& defaultText,
        std::function<void(std::optional<std::string>)> completion) override;

    [[nodiscard]] const std::string& allowedDomain() const { return allowedDomain_; }
    [[nodiscard]] bool lastRefreshState() const { return lastRefreshState_; }
    void setLastRefreshState(bool state) { lastRefreshState_ = state; }
    [[nodiscard]] std::size_t openPopupCount() const { return popups_.size(); }

private:
    [[nodiscard]] bool isAllowed(const std::optional<std::string>& host) const;

    WebServices services_;
    Log& log_;
    Alerts& alerts_;
    std::string allowedDomain_;
    // Every open popup is tracked, so that each one's close request removes it.
    std::vector<std::unique_ptr<EngineView>> popups_;
    bool lastRefreshState_ = false;
};

}  // namespace pelunna::web
