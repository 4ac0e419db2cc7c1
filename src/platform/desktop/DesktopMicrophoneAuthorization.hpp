#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/Alerts.hpp"
#include "platform/MainQueue.hpp"
#include "platform/MicrophoneAuthorization.hpp"

namespace pelunna::desktop {

// Where the user's yes or no for this application is kept.
class DecisionStore {
public:
    virtual ~DecisionStore() = default;
    [[nodiscard]] virtual std::optional<bool> decision() const = 0;
    virtual void store(bool allowed) = 0;
};

// What overrides the user's decision: an administrator's policy, the desktop's privacy switch.
class AccessPolicy {
public:
    virtual ~AccessPolicy() = default;
    [[nodiscard]] virtual bool restrictedByAdministrator() const = 0;
    [[nodiscard]] virtual bool microphoneDisabledByDesktop() const = 0;
};

// Microphone authorization for a desktop that has no prompt of its own: the client asks once,
// in a system-style modal prompt, and keeps the answer where the desktop can see and change it.
class DesktopMicrophoneAuthorization final : public MicrophoneAuthorization {
public:
    DesktopMicrophoneAuthorization(DecisionStore& store, AccessPolicy& policy, Alerts& alerts,
                                   MainQueue& queue);

    [[nodiscard]] AuthorizationStatus authorizationStatus() const override;
    void requestAccess(std::function<void(bool granted)> completion) override;

private:
    DecisionStore& store_;
    AccessPolicy& policy_;
    Alerts& alerts_;
    MainQueue& queue_;
    // Requests made while the prompt is open share it.
    std::vector<std::function<void(bool)>> waiting_;
};

}  // namespace pelunna::desktop
