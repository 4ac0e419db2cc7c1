#include "web/Coordinator.hpp"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "web/AllowedHost.hpp"

namespace pelunna::web {

namespace {

// At most maxDialogTextBytes of the page's text, cut between characters; a cut message ends
// with "…", a cut default text (which the page may get back) ends where it was cut.
std::string dialogText(const std::string& text, std::string_view mark) {
    if (text.size() <= Coordinator::maxDialogTextBytes) {
        return text;
    }
    std::size_t end = Coordinator::maxDialogTextBytes - mark.size();
    // Back to the first byte of a UTF-8 sequence: continuation bytes are 10xxxxxx.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0U) == 0x80U) {
        --end;
    }
    return text.substr(0, end) + std::string(mark);
}

std::string describe(MediaCaptureType type) {
    switch (type) {
        case MediaCaptureType::camera:
            return "camera";
        case MediaCaptureType::microphone:
            return "microphone";
        case MediaCaptureType::cameraAndMicrophone:
            return "camera and microphone";
        case MediaCaptureType::screen:
            return "screen";
    }
    return "unknown";
}

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

AlertSpec microphoneDeniedAlert() {
    return {"Microphone Access Required",
            "This web page needs microphone access, but it was previously denied. Please enable "
            "it via the Pelunna menu > Microphone Permission, or in System Settings > Privacy & "
            "Security > Microphone.",
            {"OK"},
            std::nullopt};
}

}  // namespace

Coordinator::Coordinator(WebServices services, std::string allowedDomain, std::string startUrl)
    : services_(services),
      log_(services.log),
      alerts_(services.alerts),
      allowedDomain_(std::move(allowedDomain)),
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
               recovery_.shouldEndUnresponsivePage(openDialogs_ > 0)) {
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
    quitting_ = true;
    retry_.reset();
    if (mainView_ != nullptr) {
        mainView_->terminateWebProcess();
    }
    for (const auto& popup : popups_) {
        popup->terminateWebProcess();
    }
}

void Coordinator::webProcessDidTerminate(EngineView& view, ProcessTermination reason) {
    if (quitting_) {
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
    if (responsive || quitting_ || &view != mainView_) {
        return;
    }
    if (recovery_.shouldEndUnresponsivePage(openDialogs_ > 0)) {
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
    return &view == mainView_ && !quitting_ && !recovery_.showsPage();
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
    if (!originHost || !isAllowed(*originHost)) {
        log_.print("❌ Denying media capture for: " + originHost.value_or(""));
        decisionHandler(false);
        return;
    }
    log_.print("🎤 Media capture requested by: " + *originHost + ", type: " + describe(type));
    // The learner consented to the microphone only: the camera and the screen stay closed.
    if (type == MediaCaptureType::camera || type == MediaCaptureType::cameraAndMicrophone) {
        log_.print("❌ Camera capture is not permitted, denying WebKit");
        decisionHandler(false);
        return;
    }
    if (type == MediaCaptureType::screen) {
        log_.print("❌ Screen capture is not permitted, denying WebKit");
        decisionHandler(false);
        return;
    }
    switch (services_.microphone.authorizationStatus()) {
        case MicrophoneStatus::restricted:
        case MicrophoneStatus::denied:
            log_.print("❌ OS mic denied/restricted, denying WebKit");
            decisionHandler(false);
            // Shown once the engine holds the denial.
            services_.queue.async(
                [this] { alerts_.runModal(microphoneDeniedAlert(), [](const AlertResponse&) {}); });
            return;
        case MicrophoneStatus::notDetermined:
            services_.microphone.requestAccess(
                [this, decisionHandler = std::move(decisionHandler)](bool granted) {
                    services_.queue.async([this, decisionHandler, granted] {
                        log_.print(granted ? "✅ OS mic just authorized, granting to WebKit"
                                           : "❌ OS mic denied by user");
                        decisionHandler(granted);
                    });
                });
            return;
        case MicrophoneStatus::authorized:
            log_.print("✅ OS mic authorized, granting to WebKit");
            decisionHandler(true);
            return;
    }
}

bool Coordinator::allowsDeviceInformation(const std::optional<std::string>& originHost) {
    return originHost && isAllowed(*originHost) &&
           services_.microphone.authorizationStatus() == MicrophoneStatus::authorized;
}

template <typename... Args>
std::function<void(Args...)> Coordinator::trackDialog(std::function<void(Args...)> completion) {
    ++openDialogs_;
    return [this, completion = std::move(completion)](Args... args) {
        --openDialogs_;
        completion(std::forward<Args>(args)...);
    };
}

void Coordinator::runJavaScriptAlertPanel(const std::string& message,
                                          std::function<void()> completion) {
    alerts_.runModal(
        {dialogText(message, "…"), "", {"OK"}, std::nullopt},
        [completion = trackDialog(std::move(completion))](const AlertResponse&) { completion(); });
}

void Coordinator::runJavaScriptConfirmPanel(const std::string& message,
                                            std::function<void(bool)> completion) {
    alerts_.runModal(
        {dialogText(message, "…"), "", {"OK", "Cancel"}, std::nullopt},
        [completion = trackDialog(std::move(completion))](const AlertResponse& response) {
            completion(response.code == AlertResponse::firstButton);
        });
}

void Coordinator::runJavaScriptTextInputPanel(
    const std::string& prompt, const std::optional<std::string>& defaultText,
    std::function<void(std::optional<std::string>)> completion) {
    alerts_.runModal(
        {dialogText(prompt, "…"), "", {"OK", "Cancel"}, dialogText(defaultText.value_or(""), "")},
        [completion = trackDialog(std::move(completion))](const AlertResponse& response) {
            if (response.code == AlertResponse::firstButton) {
                completion(response.textFieldValue);
            } else {
                completion(std::nullopt);
            }
        });
}

}  // namespace pelunna::web
