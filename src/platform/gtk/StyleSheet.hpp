#pragma once

namespace pelunna::platform {

// The client's own look for its screens, title bar, menu bar, notices and alerts, the same on a
// light desktop and a dark one; pages keep the desktop's appearance.
void installStyleSheet();

}  // namespace pelunna::platform
