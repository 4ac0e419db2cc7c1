#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelunna {

// What the machine tells about its graphics before the toolkit starts. The queries differ widely
// in cost, so each is asked only when the cheaper ones left the choice open.
class DrawingEvidence {
public:
    virtual ~DrawingEvidence() = default;
    // The process environment's value, if the variable is set (even to nothing).
    virtual std::optional<std::string> variable(std::string_view name) = 0;
    // A DRM render node (/dev/dri/renderD*) this process may open: without one, GL can only run
    // in software.
    virtual bool hasRenderNode() = 0;
    // Whether the X server on $DISPLAY offers DRI3; an X client's GL without it is software.
    virtual bool xServerHasDri3() = 0;
};

}  // namespace pelunna
