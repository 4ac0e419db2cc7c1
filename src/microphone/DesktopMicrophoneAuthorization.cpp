#include "microphone/DesktopMicrophoneAuthorization.hpp"

#include <utility>

namespace pelunna::microphone {
namespace {

AlertSpec accessPrompt() {
    return {"“Pelunna Labs” would like to access the microphone.",
            "Pelunna Tamil Labs uses the microphone for pronunciation checking and speaking "
            "activities.",
            {"Don't Allow", "Allow"},
            std::nullopt,
            1};
}

}  // namespace

DesktopMicrophoneAuthorization::DesktopMicrophoneAuthorization(DecisionStore& store,
                                                               const AdministratorPolicy& policy,
                                                               const PrivacySwitch& privacy,
                                                               Alerts& alerts, MainQueue& queue)
    : store_(store), policy_(policy), privacy_(privacy), alerts_(alerts), queue_(queue) {}

MicrophoneStatus DesktopMicrophoneAuthorization::authorizationStatus() const {
    if (policy_.restricts()) {
        return MicrophoneStatus::restricted;
    }
    if (privacy_.microphoneDisabledByDesktop()) {
        return MicrophoneStatus::denied;
    }
    const std::optional<bool> decision = store_.decision();
    if (!decision) {
        return MicrophoneStatus::notDetermined;
    }
    return *decision ? MicrophoneStatus::authorized : MicrophoneStatus::denied;
}

void DesktopMicrophoneAuthorization::requestAccess(std::function<void(bool granted)> completion) {
    const MicrophoneStatus status = authorizationStatus();
    if (status != MicrophoneStatus::notDetermined) {
        // Decided already: answered without a prompt, but still later, as a prompt would be.
        queue_.async([completion = std::move(completion), status] {
            completion(status == MicrophoneStatus::authorized);
        });
        return;
    }
    waiting_.push_back(std::move(completion));
    if (waiting_.size() > 1) {
        return;
    }
    alerts_.runModal(accessPrompt(), [this](const AlertResponse& response) {
        // "Allow" is the second button; closing the prompt any other way refuses.
        const bool granted = response.code == AlertResponse::firstButton + 1;
        store_.store(granted);
        for (auto& waiting : std::exchange(waiting_, {})) {
            waiting(granted);
        }
    });
}

}  // namespace pelunna::microphone
