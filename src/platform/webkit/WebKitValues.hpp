#pragma once

#include <webkit/webkit.h>

#include <vector>

#include "ports/Engine.hpp"

namespace pelunna::platform {

// WebKit's values in the ports' words, apart from any view, so that each reading can be tried
// with made-up values.

ProcessTermination termination(WebKitWebProcessTerminationReason reason);

// Every problem the flags name, in a fixed order; an unnamed flag names none.
std::vector<CertificateProblem> certificateProblems(GTlsCertificateFlags errors);

// The engine's cancellations and policy refusals mean that something else was decided; all the
// rest (refused, unresolved, unreachable, timed out, reset) that the server could not be reached.
LoadFailure loadFailure(const GError* error);

// What a media request asks for, from its display, video and audio bits.
MediaCaptureType captureType(bool display, bool video, bool audio);

}  // namespace pelunna::platform
