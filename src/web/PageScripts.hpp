#pragma once

#include <array>

#include "ports/Engine.hpp"

namespace pelunna::web {

// The scripts every frame of every page gets, in registration order. The engine adapter finds
// each text by its resource name among the compiled-in scripts.
inline constexpr std::array pageScripts{
    UserScript{"console-bridge.js", InjectionTime::atDocumentStart},
    UserScript{"iframe-microphone.js", InjectionTime::atDocumentStart},
    UserScript{"media-diagnostics.js", InjectionTime::atDocumentStart},
    UserScript{"escape-handler.js", InjectionTime::atDocumentEnd},
};

}  // namespace pelunna::web
