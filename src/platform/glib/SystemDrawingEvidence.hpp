#pragma once

#include "ports/DrawingEvidence.hpp"

namespace pelunna::platform {

// The drawing evidence of this machine, read without starting GTK: the environment, the device
// folder and, for an X11 client, one extension query to the X server.
class SystemDrawingEvidence final : public DrawingEvidence {
public:
    std::optional<std::string> variable(std::string_view name) override;
    bool hasRenderNode() override;
    bool xServerHasDri3() override;
};

}  // namespace pelunna::platform
