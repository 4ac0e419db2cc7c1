#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WebsiteDataStore.hpp"

namespace pelunna {

enum class InjectionTime { atDocumentStart, atDocumentEnd };

// A page script compiled into the client, injected into every frame unless mainFrameOnly.
struct UserScript {
    std::string_view resourceName;
    InjectionTime injectionTime = InjectionTime::atDocumentStart;
    bool forMainFrameOnly = false;
};

struct EngineConfiguration {
    std::string applicationNameForUserAgent;
    bool allowsAirPlayForMediaPlayback = false;
    bool mediaRequiresUserActionForPlayback = true;
    std::string scriptMessageHandlerName;
    std::vector<UserScript> userScripts;
};

// What the engine tells the client about a view: messages its pages post.
class EngineViewDelegate {
  public:
    virtual ~EngineViewDelegate() = default;
    // body is empty when the page posted something other than a string.
    virtual void didReceiveScriptMessage(std::string_view name,
                                         const std::optional<std::string>& body) = 0;
};

// One engine view showing pages.
class EngineView {
  public:
    virtual ~EngineView() = default;
    virtual void loadRequest(const std::string& url, double timeoutSeconds) = 0;
    virtual void setPageZoom(double zoom) = 0;
    virtual void reloadFromOrigin() = 0;
};

// The web engine: its default data store and the making of views.
class Engine {
  public:
    virtual ~Engine() = default;
    virtual WebsiteDataStore& defaultDataStore() = 0;
    virtual std::unique_ptr<EngineView> makeView(const EngineConfiguration& configuration,
                                                 EngineViewDelegate& delegate) = 0;
};

}  // namespace pelunna
