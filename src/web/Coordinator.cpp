#include "web/Coordinator.hpp"

#include <utility>

namespace pelunna::web {

Coordinator::Coordinator(Log& log, std::string allowedDomain)
    : log_(log), allowedDomain_(std::move(allowedDomain)) {}

void Coordinator::didReceiveScriptMessage(std::string_view name,
                                          const std::optional<std::string>& body) {
    if (name != "logging" || !body) {
        return;
    }
    log_.print("📱 WebView Console: " + *body);
}

}  // namespace pelunna::web
