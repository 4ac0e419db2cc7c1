#pragma once

#include "ports/PermissionScreen.hpp"

namespace pelunna {

// Puts the root view's current screen into the window; asked again whenever that screen's
// state changes.
class ContentHost {
public:
    virtual ~ContentHost() = default;
    virtual void showPermissionScreen(PermissionScreen& screen) = 0;
    // The engine view has been made by then; the host only has to show it.
    virtual void showWebContent() = 0;
};

}  // namespace pelunna
