#pragma once

#include <string>

#include "platform/Engine.hpp"
#include "platform/Log.hpp"

namespace pelunna::web {

// The web view's delegate: receives what the engine reports about its pages and decides.
class Coordinator final : public EngineViewDelegate {
  public:
    Coordinator(Log& log, std::string allowedDomain);

    void didReceiveScriptMessage(std::string_view name,
                                 const std::optional<std::string>& body) override;

    [[nodiscard]] const std::string& allowedDomain() const { return allowedDomain_; }
    [[nodiscard]] bool lastRefreshState() const { return lastRefreshState_; }
    void setLastRefreshState(bool state) { lastRefreshState_ = state; }

  private:
    Log& log_;
    std::string allowedDomain_;
    bool lastRefreshState_ = false;
};

}  // namespace pelunna::web
