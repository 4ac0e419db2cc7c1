#pragma once

#include <memory>
#include <string>

#include "ports/Engine.hpp"
#include "web/Coordinator.hpp"
#include "web/WebServices.hpp"

namespace pelunna::web {

// The web content of the root view: builds the coordinator and the engine view on the start
// page, then applies the root view's zoom and refresh state on every update.
class WebView {
public:
    WebView(Engine& engine, WebServices services, const ServiceConfig& service);

    void update(double zoomLevel, bool refreshTrigger);
    void endPageProcesses() { coordinator_.endPageProcesses(); }
    void dismissDialogs() { coordinator_.dismissDialogs(); }

    Coordinator& coordinator() { return coordinator_; }

private:
    Log& log_;
    Coordinator coordinator_;
    std::unique_ptr<EngineView> view_;
};

}  // namespace pelunna::web
