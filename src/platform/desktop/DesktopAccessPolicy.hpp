#pragma once

#include <gio/gio.h>

#include <string>

#include "platform/desktop/DesktopMicrophoneAuthorization.hpp"

namespace pelunna::desktop {

// An administrator forbids the microphone with a policy file holding the word "restricted";
// the desktop's own privacy switch, where the desktop has one, turns it off for every application.
class DesktopAccessPolicy final : public AccessPolicy {
public:
    explicit DesktopAccessPolicy(std::string policyFile);
    ~DesktopAccessPolicy() override;
    DesktopAccessPolicy(const DesktopAccessPolicy&) = delete;
    DesktopAccessPolicy& operator=(const DesktopAccessPolicy&) = delete;

    [[nodiscard]] bool restrictedByAdministrator() const override;
    [[nodiscard]] bool microphoneDisabledByDesktop() const override;

private:
    std::string policyFile_;
    GSettings* privacy_ = nullptr;
};

}  // namespace pelunna::desktop
