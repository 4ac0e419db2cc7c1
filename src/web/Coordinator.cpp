#include "web/Coordinator.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "web/AllowedHost.hpp"

namespace pelunna::web {

namespace {

std::string describe(ProcessTermination reason) {
    switch (reason) {
        case ProcessTermination::crashed:
            return "crashed";
        case ProcessTermination::exceededMemoryLimit:
            return "exceeded its memory limit";
        case ProcessTermination::endedByClient:
            return "ended by the client";
    }
    return "ended";
}

std::string describe(CertificateProblem problem) {
    switch (problem) {
        case CertificateProblem::unknownAuthority:
            return "unknown authority";
        case CertificateProblem::wrongHost:
            return "issued for another host";
        case CertificateProblem::notYetValid:
            return "not yet valid";
        case CertificateProblem::expired:
            return "expired";
        case CertificateProblem::revoked:
            return "revoked";
        case CertificateProblem::insecureAlgorithm:
            return "insecure algorithm";
        case CertificateProblem::other:
            return "invalid";
    }
    return "invalid";
}

const Notice noticeAfterCrashes{"The lab stopped working. Press Ctrl+R to try again.", ""};
const Notice unreachableNotice{"The lab can't be reached. Trying again…",
                               "Press Ctrl+R to try now."};
// A certificate nobody vouches for is never tried again: the computer's trust must change first.
const Notice untrustedNotice{"The lab's connection is not secure, so it was not opened.",
                             "Ask your lab's administrator."};

}  // namespace

Coordinator::Coordinator(WebServices services, std::string allowedDomain, std::string startUrl)
    : log_(services.log),
      allowedDomain_(std::move(allowedDomain)),
      dialogs_(services.alerts),
      mediaCapture_(services, allowedDomain_),
      recovery_(services.queue, std::move(startUrl)),
      retry_(services.queue, [this] { tryLabAgain(); }) {}

bool Coordinator::isAllowed(const std::string& host) const {
    return isAllowedHost(host, allowedDomain_);
}

void Coordinator::didReceiveScriptMessage(std::string_view name,
                                          const std::optional<std::string>& body) {
    if (name != consoleChannel || !body) {
        return;
    }
    log_.print("📱 WebView Console: " + *body);
}

NavigationPolicy Coordinator::decidePolicyForNavigationAction(const NavigationAction& action) {
    if (!action.url || !action.url->host) {
        return NavigationPolicy::cancel;
    }
    const Url& url = *action.url;
    log_.print("Navigation to: " + url.absoluteString);
    if (url.fragment) {
        log_.print("📍 Current hash: #" + *url.fragment);
    }
    if (isAllowed(*url.host)) {
        log_.print("✅ Allowing navigation to: " + *url.host);
        return NavigationPolicy::allow;
    }
    log_.print("❌ Blocking navigation to: " + *url.host);
    return NavigationPolicy::cancel;
}

EngineView* Coordinator::createWebView(EngineView& requesting, const NavigationAction& action) {
    const std::optional<Url>& url = action.url;
    if (url && url->host && isAllowed(*url->host)) {
        if (popups_.size() >= maxOpenPopups) {
            log_.print("❌ Blocking popup for: " + *url->host + ", " +
                       std::to_string(maxOpenPopups) + " already open");
            return nullptr;
        }
        log_.print("✅ Allowing popup for: " + *url->host);
        popups_.push_back(requesting.makePopup());
        return popups_.back().get();
    }
    // A new-window request for a foreign host is judged once more where it came from, which
    // blocks it with its log lines. One without a host would only be cancelled silently there,
    // so it is not sent at all: the page must never be swapped for a blank one.
    if (!action.hasTargetFrame && url && url->host) {
        requesting.loadRequest(url->absoluteString, std::nullopt,
                               CachePolicy::useProtocolCachePolicy);
    }
    return nullptr;
}

void Coordinator::webViewDidClose(EngineView& view) {
    const auto popup = std::find_if(popups_.begin(), popups_.end(),
                                    [&view](const auto& open) { return open.get() == &view; });
    if (popup == popups_.end()) {
        return;
    }
    log_.print("✅ Popup closed");
    popups_.erase(popup);
}

void Coordinator::reloadMainView() {
    // Ctrl+R brings back the lab itself, not a popup laid over it.
    popups_.clear();
    recovery_.reloadRequested();
    retry_.reset();
    if (!recovery_.showsPage()) {
        loadAfresh(CachePolicy::reloadIgnoringCacheData);
    } else if (!mainView_->isWebProcessResponsive() &&
               recovery_.shouldEndUnresponsivePage(dialogs_.anyOpen())) {
        // A hung page would never take the reload: its end brings the page back.
        mainView_->terminateWebProcess();
    } else {
        mainView_->reloadFromOrigin();
    }
}

void Coordinator::loadAfresh(CachePolicy cachePolicy) {
    const std::optional<double> timeout =
        recovery_.hasCommitted() ? std::nullopt : std::optional(startRequestTimeoutSeconds);
    mainView_->loadRequest(recovery_.pageToReload(), timeout, cachePolicy);
}

void Coordinator::tryLabAgain() {
    log_.print("🔄 Trying the lab again: " + recovery_.pageToReload());
    loadAfresh(CachePolicy::reloadIgnoringCacheData);
}

void Coordinator::networkDidBecomeAvailable() {
    retry_.networkCameUp();
}

void Coordinator::endPageProcesses() {
    recovery_.quit();
    retry_.reset();
    if (mainView_ != nullptr) {
        mainView_->terminateWebProcess();
    }
    for (const auto& popup : popups_) {
        popup->terminateWebProcess();
    }
}

void Coordinator::webProcessDidTerminate(EngineView& view, ProcessTermination reason) {
    if (recovery_.quitting()) {
        return;
    }
    if (&view != mainView_) {
        // Popups share the page's process: its end is reported, and handled, by the main view.
        webViewDidClose(view);
        return;
    }
    log_.print("❌ Web content process terminated: " + describe(reason));
    popups_.clear();
    recovery_.pageProcessEnded();
    if (recovery_.mayReloadAfterTermination()) {
        // A plain request: a form the learner sent must not be sent twice.
        loadAfresh(CachePolicy::useProtocolCachePolicy);
        return;
    }
    log_.print("❌ Not reloading again after " + std::to_string(PageRecovery::reloadBudget) +
               " crashes in " +
               std::to_string(static_cast<int>(PageRecovery::budgetWindowSeconds)) + " s");
    mainView_->showNotice(noticeAfterCrashes);
}

void Coordinator::webProcessResponsivenessDidChange(EngineView& view, bool responsive) {
    if (responsive || recovery_.quitting() || &view != mainView_) {
        return;
    }
    if (recovery_.shouldEndUnresponsivePage(dialogs_.anyOpen())) {
        mainView_->terminateWebProcess();
    }
}

void Coordinator::didBlockDownload(const std::string& url) {
    log_.print("❌ Blocking download: " + url);
}

void Coordinator::didBlockPrint() {
    log_.print("❌ Blocking print");
}

void Coordinator::didCommitNavigation(EngineView& view) {
    if (&view != mainView_) {
        return;
    }
    if (const auto url = view.currentUrl()) {
        recovery_.didCommit(*url);
    }
    retry_.reset();
    view.showNotice(std::nullopt);
}

bool Coordinator::leavesNothingShown(const EngineView& view) const {
    return &view == mainView_ && !recovery_.quitting() && !recovery_.showsPage();
}

void Coordinator::didFailCertificateCheck(EngineView& view, const std::string& host,
                                          const std::vector<CertificateProblem>& problems) {
    std::string words;
    for (const CertificateProblem problem : problems) {
        words += (words.empty() ? "" : ", ") + describe(problem);
    }
    log_.print("❌ Provisional navigation failed: TLS certificate for " + host + ": " +
               (words.empty() ? describe(CertificateProblem::other) : words));
    if (leavesNothingShown(view)) {
        retry_.reset();
        view.showNotice(untrustedNotice);
    }
}

void Coordinator::didFinishNavigation(EngineView& view) {
    log_.print("✅ Page loaded successfully: " + view.currentUrl().value_or("unknown"));
}

void Coordinator::didFailNavigation(const std::string& description) {
    log_.print("❌ Navigation failed: " + description);
}

void Coordinator::didFailProvisionalNavigation(EngineView& view, const std::string& description,
                                               LoadFailure failure) {
    log_.print("❌ Provisional navigation failed: " + description);
    if (failure == LoadFailure::unreachable && leavesNothingShown(view)) {
        view.showNotice(unreachableNotice);
        retry_.loadFailed();
    }
}

void Coordinator::requestMediaCapturePermission(const std::optional<std::string>& originHost,
                                                MediaCaptureType type,
                                                std::function<void(bool grant)> decisionHandler) {
    mediaCapture_.request(originHost, type, std::move(decisionHandler));
}

bool Coordinator::allowsDeviceInformation(const std::optional<std::string>& originHost) {
    return mediaCapture_.allowsDeviceInformation(originHost);
}

void Coordinator::runJavaScriptAlertPanel(const std::string& message,
                                          std::function<void()> completion) {
    dialogs_.alert(message, std::move(completion));
}

void Coordinator::runJavaScriptConfirmPanel(const std::string& message,
                                            std::function<void(bool)> completion) {
    dialogs_.confirm(message, std::move(completion));
}

void Coordinator::runJavaScriptTextInputPanel(
    const std::string& prompt, const std::optional<std::string>& defaultText,
    std::function<void(std::optional<std::string>)> completion) {
    dialogs_.prompt(prompt, defaultText, std::move(completion));
}

}  // namespace pelunna::web
