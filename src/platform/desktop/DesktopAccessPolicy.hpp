#pragma once

#include <gio/gio.h>

#include <string>

#include "platform/Log.hpp"
#include "platform/desktop/DesktopMicrophoneAuthorization.hpp"
#include "platform/desktop/PolicyFile.hpp"

namespace pelunna::desktop {

// An administrator forbids the microphone with a policy file holding the word "restricted";
// the desktop's own privacy switch, where the desktop has one, turns it off for every application.
class DesktopAccessPolicy final : public AccessPolicy {
public:
    DesktopAccessPolicy(std::string policyFile, Log& log);
    ~DesktopAccessPolicy() override;
    DesktopAccessPolicy(const DesktopAccessPolicy&) = delete;
    DesktopAccessPolicy& operator=(const DesktopAccessPolicy&) = delete;

    [[nodiscard]] bool restrictedByAdministrator() const override;
    [[nodiscard]] bool microphoneDisabledByDesktop() const override;

private:
    PolicyFile policyFile_;
    GSettings* privacy_ = nullptr;
};

}  // namespace pelunna::desktop
