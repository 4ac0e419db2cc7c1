#pragma once

#include "ports/ContentHost.hpp"
#include "ports/Engine.hpp"
#include "ports/KeyEvent.hpp"

namespace pelunna {

// The view a window hosts: it shows its screens through the host and learns when its web
// content appears on screen.
class RootView {
public:
    virtual ~RootView() = default;
    // Starts showing content through the host; the engine makes the web content when it is due.
    virtual void attach(ContentHost& host, Engine& engine) = 0;
    virtual void onWebViewAppear(KeyMonitor& monitor) = 0;
};

}  // namespace pelunna
