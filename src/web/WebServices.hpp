#pragma once

#include <string>

#include "ports/Alerts.hpp"
#include "ports/Log.hpp"
#include "ports/MainQueue.hpp"
#include "ports/MicrophoneAuthorization.hpp"

namespace pelunna::web {

// What the web content needs from the rest of the client.
struct WebServices {
    Log& log;
    Alerts& alerts;
    MicrophoneAuthorization& microphone;
    MainQueue& queue;
};

// The service the web content is locked to and opens on.
struct ServiceConfig {
    std::string allowedDomain;
    std::string startUrl;
    std::string applicationNameForUserAgent;
};

}  // namespace pelunna::web
