#pragma once

#include "ports/Workspace.hpp"

namespace pelunna::platform {

// Opens whichever microphone settings the desktop has: its privacy pane, its sound pane, or the
// sound server's mixer on the input tab. Nothing happens where none is installed.
class SettingsLauncher final : public Workspace {
public:
    void openMicrophoneSettings() override;
};

}  // namespace pelunna::platform
