#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/Notice.hpp"
#include "ports/Url.hpp"
#include "ports/WebsiteDataStore.hpp"

namespace pelunna {

enum class InjectionTime { atDocumentStart, atDocumentEnd };

// A page script compiled into the client, injected into every frame.
struct UserScript {
    std::string_view resourceName;
    InjectionTime injectionTime = InjectionTime::atDocumentStart;
};

struct EngineConfiguration {
    std::string applicationNameForUserAgent;
    bool mediaRequiresUserActionForPlayback = true;
    std::string scriptMessageHandlerName;
    std::vector<UserScript> userScripts;
};

// How a load treats cached copies: the start page ignores them, as a reload from origin does.
enum class CachePolicy { useProtocolCachePolicy, reloadIgnoringCacheData };

enum class NavigationPolicy { cancel = 0, allow = 1 };

// A navigation the engine asks about. Without a target frame the page asked for a new window.
struct NavigationAction {
    std::optional<Url> url;
    bool hasTargetFrame = true;
};

// What a certificate check found wrong, one per problem the TLS library reports.
enum class CertificateProblem {
    unknownAuthority,
    wrongHost,
    notYetValid,
    expired,
    revoked,
    insecureAlgorithm,
    other
};

// Why a load never reached its page. Superseded: another load took its place, or the client
// refused it; any other failure means the server could not be reached.
enum class LoadFailure { unreachable, superseded };

// Why a page process ended.
enum class ProcessTermination { crashed, exceededMemoryLimit, endedByClient };

// What a page asks to capture. The first three keep the engine's values; screen capture is a
// request this desktop's engine can make as well.
enum class MediaCaptureType { camera = 0, microphone = 1, cameraAndMicrophone = 2, screen = 3 };

class EngineView;

// What the engine asks of and tells the client about its views, popups included. Every answer
// handed over through a completion is given exactly once.
class EngineViewDelegate {
public:
    virtual ~EngineViewDelegate() = default;
    // body is empty when the page posted something other than a string.
    virtual void didReceiveScriptMessage(std::string_view name,
                                         const std::optional<std::string>& body) = 0;

    virtual NavigationPolicy decidePolicyForNavigationAction(const NavigationAction& action) = 0;
    // The popup to show, owned by the delegate, or none.
    virtual EngineView* createWebView(EngineView& requesting, const NavigationAction& action) = 0;
    virtual void webViewDidClose(EngineView& view) = 0;
    // The view shows a new document at its current address.
    virtual void didCommitNavigation(EngineView& view) = 0;
    virtual void didFinishNavigation(EngineView& view) = 0;
    virtual void didFailNavigation(const std::string& description) = 0;
    virtual void didFailProvisionalNavigation(EngineView& view, const std::string& description,
                                              LoadFailure failure) = 0;
    // The load never reaches the page: its server's certificate is not trusted.
    virtual void didFailCertificateCheck(EngineView& view, const std::string& host,
                                         const std::vector<CertificateProblem>& problems) = 0;
    // The desktop says the network is there, after a change.
    virtual void networkDidBecomeAvailable() = 0;

    // The view's page process is gone; the view shows nothing until it loads again.
    virtual void webProcessDidTerminate(EngineView& view, ProcessTermination reason) = 0;
    // The page process stopped or resumed answering the engine.
    virtual void webProcessResponsivenessDidChange(EngineView& view, bool responsive) = 0;

    // The engine refused these at once, before anything reached the disk or the screen.
    virtual void didBlockDownload(const std::string& url) = 0;
    virtual void didBlockPrint() = 0;

    // originHost is empty when the requesting page's address has none.
    virtual void requestMediaCapturePermission(const std::optional<std::string>& originHost,
                                               MediaCaptureType type,
                                               std::function<void(bool grant)> decisionHandler) = 0;
    // Whether the page may learn the names of the capture devices.
    virtual bool allowsDeviceInformation(const std::optional<std::string>& originHost) = 0;

    virtual void runJavaScriptAlertPanel(const std::string& message,
                                         std::function<void()> completion) = 0;
    virtual void runJavaScriptConfirmPanel(const std::string& message,
                                           std::function<void(bool)> completion) = 0;
    virtual void runJavaScriptTextInputPanel(
        const std::string& prompt, const std::optional<std::string>& defaultText,
        std::function<void(std::optional<std::string>)> completion) = 0;
};

// One engine view showing pages.
class EngineView {
public:
    virtual ~EngineView() = default;
    // Without a timeout the load may take as long as the network does.
    virtual void loadRequest(const std::string& url, std::optional<double> timeoutSeconds,
                             CachePolicy cachePolicy) = 0;
    virtual void setPageZoom(double zoom) = 0;
    virtual void reloadFromOrigin() = 0;
    // Ends the view's page process, which the delegate then hears about.
    virtual void terminateWebProcess() = 0;
    [[nodiscard]] virtual bool isWebProcessResponsive() const = 0;
    // Laid over the page; none hides it.
    virtual void showNotice(const std::optional<Notice>& notice) = 0;
    [[nodiscard]] virtual std::optional<std::string> currentUrl() const = 0;
    // A view laid over this one, covering it as it resizes, with the same configuration and
    // delegate; it leaves the screen when destroyed.
    virtual std::unique_ptr<EngineView> makePopup() = 0;
};

// The web engine: the data store every view shares and the making of views.
class Engine {
public:
    virtual ~Engine() = default;
    virtual WebsiteDataStore& dataStore() = 0;
    virtual std::unique_ptr<EngineView> makeView(const EngineConfiguration& configuration,
                                                 EngineViewDelegate& delegate) = 0;
};

}  // namespace pelunna
