#pragma once

#include "platform/Alerts.hpp"
#include "platform/Log.hpp"
#include "platform/MainQueue.hpp"
#include "platform/MicrophoneAuthorization.hpp"

namespace pelunna::web {

// What the web content needs from the rest of the client.
struct WebServices {
    Log& log;
    Alerts& alerts;
    MicrophoneAuthorization& microphone;
    MainQueue& queue;
};

}  // namespace pelunna::web
