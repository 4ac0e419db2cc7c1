#pragma once

#include <functional>
#include <vector>

#include "microphone/PolicyFile.hpp"
#include "ports/Alerts.hpp"
#include "ports/DecisionStore.hpp"
#include "ports/MainQueue.hpp"
#include "ports/MicrophoneAuthorization.hpp"
#include "ports/PrivacySwitch.hpp"

namespace pelunna::microphone {

// Microphone authorization for a desktop that has no prompt of its own: the client asks once,
// in a system-style modal prompt, and keeps the answer where the desktop can see and change it.
// An administrator's policy, then the desktop's privacy switch, override the user's answer.
class DesktopMicrophoneAuthorization final : public MicrophoneAuthorization {
public:
    DesktopMicrophoneAuthorization(DecisionStore& store, const AdministratorPolicy& policy,
                                   const PrivacySwitch& privacy, Alerts& alerts, MainQueue& queue);

    [[nodiscard]] MicrophoneStatus authorizationStatus() const override;
    void requestAccess(std::function<void(bool granted)> completion) override;

private:
    DecisionStore& store_;
    const AdministratorPolicy& policy_;
    const PrivacySwitch& privacy_;
    Alerts& alerts_;
    MainQueue& queue_;
    // Requests made while the prompt is open share it.
    std::vector<std::function<void(bool)>> waiting_;
};

}  // namespace pelunna::microphone
