#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ports/Engine.hpp"
#include "web/LabRetry.hpp"
#include "web/MediaCapturePolicy.hpp"
#include "web/PageDialogs.hpp"
#include "web/PageRecovery.hpp"
#include "web/WebServices.hpp"

namespace pelunna::web {

// The delegate of the web view and of its popups: keeps navigation on the service's domain,
// opens and closes the service's popups, logs load outcomes, hands media capture and page
// dialogs to their own rooms and prints what the console bridge posts. It also brings the page
// back when its process dies or hangs or the lab cannot be reached, says so over a view that
// shows nothing, and refuses every way a file could leave the page. It may go while work it
// handed out is pending: that work then does nothing.
class Coordinator final : public EngineViewDelegate {
public:
    // The start page must commit within this, or the load counts as failed.
    static constexpr double startRequestTimeoutSeconds = 60.0;
    // Each popup is a page laid over the lab: a page opening them in a loop would fill the memory.
    static constexpr std::size_t maxOpenPopups = 8;
    // The script message channel the console bridge posts on.
    static constexpr char consoleChannel[] = "logging";
    Coordinator(WebServices services, std::string allowedDomain, std::string startUrl);

    // The view that shows the service; every other view is one of its popups.
    void setMainView(EngineView& view) { mainView_ = &view; }
    // Reloads what the learner sees, or the start page when nothing was shown yet; a hung page
    // is ended first.
    void reloadMainView();
    // Quit: every page process ends now, and nothing is reloaded after that.
    void endPageProcesses();
    // Starting over: each open page dialog is answered as dismissed.
    void dismissDialogs() { dialogs_.dismissDialogs(); }

    void didReceiveScriptMessage(std::string_view name,
                                 const std::optional<std::string>& body) override;

    NavigationPolicy decidePolicyForNavigationAction(const NavigationAction& action) override;
    EngineView* createWebView(EngineView& requesting, const NavigationAction& action) override;
    void webViewDidClose(EngineView& view) override;
    void didCommitNavigation(EngineView& view) override;
    void didFinishNavigation(EngineView& view) override;
    void didFailNavigation(const std::string& description) override;
    void didFailProvisionalNavigation(EngineView& view, const std::string& description,
                                      LoadFailure failure) override;
    void didFailCertificateCheck(EngineView& view, const std::string& host,
                                 const std::vector<CertificateProblem>& problems) override;
    void networkDidBecomeAvailable() override;
    void webProcessDidTerminate(EngineView& view, ProcessTermination reason) override;
    void webProcessResponsivenessDidChange(EngineView& view, bool responsive) override;
    void didBlockDownload(const std::string& url) override;
    void didBlockPrint() override;

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

    [[nodiscard]] bool lastRefreshState() const { return lastRefreshState_; }
    void setLastRefreshState(bool state) { lastRefreshState_ = state; }
    [[nodiscard]] std::size_t openPopupCount() const { return popups_.size(); }

private:
    [[nodiscard]] bool isAllowed(const std::string& host) const;
    void loadAfresh(CachePolicy cachePolicy);
    void tryLabAgain();
    // Whether a failed load leaves the learner in front of nothing, to be told why.
    [[nodiscard]] bool leavesNothingShown(const EngineView& view) const;

    Log& log_;
    std::string allowedDomain_;
    PageDialogs dialogs_;
    MediaCapturePolicy mediaCapture_;
    // Every open popup is tracked, so that each one's close request removes it.
    std::vector<std::unique_ptr<EngineView>> popups_;
    bool lastRefreshState_ = false;
    EngineView* mainView_ = nullptr;
    PageRecovery recovery_;
    LabRetry retry_;
};

}  // namespace pelunna::web
