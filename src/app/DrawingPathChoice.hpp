#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ports/DrawingEvidence.hpp"
#include "ports/DrawingPath.hpp"
#include "ports/Log.hpp"

namespace pelunna::app {

// The drawing path, chosen once before the toolkit starts. GTK and WebKit each follow their own
// variable where an administrator set it; the client only fills in the halves left open.
struct DrawingPathChoice {
    // What the web views apply. The engine's defaults (gpu) where WEBKIT_DISABLE_COMPOSITING_MODE
    // is set: WebKit then follows that variable, whichever path the machine calls for.
    DrawingPath views = DrawingPath::gpu;
    // Variables to set before GTK reads them, never one that is already set.
    std::vector<std::pair<std::string, std::string>> variables;
};

// Decides from the cheapest evidence first and logs the path with its reason.
DrawingPathChoice chooseDrawingPath(DrawingEvidence& evidence, Log& log);

}  // namespace pelunna::app
