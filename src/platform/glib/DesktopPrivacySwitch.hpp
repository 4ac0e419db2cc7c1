#pragma once

#include <gio/gio.h>

#include "ports/PrivacySwitch.hpp"

namespace pelunna::platform {

// GNOME's microphone privacy switch, where the desktop has one; elsewhere it is never off.
class DesktopPrivacySwitch final : public PrivacySwitch {
public:
    DesktopPrivacySwitch();
    ~DesktopPrivacySwitch() override;
    DesktopPrivacySwitch(const DesktopPrivacySwitch&) = delete;
    DesktopPrivacySwitch& operator=(const DesktopPrivacySwitch&) = delete;

    [[nodiscard]] bool microphoneDisabledByDesktop() const override;

private:
    GSettings* privacy_ = nullptr;
};

}  // namespace pelunna::platform
