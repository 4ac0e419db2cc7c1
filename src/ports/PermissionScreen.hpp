#pragma once

namespace pelunna {

// Which part of the permission screen fits the microphone status.
enum class PermissionSection { undecided, granted, refused };

// The permission screen as its widgets see it: what to show, and what its buttons do.
class PermissionScreen {
public:
    virtual ~PermissionScreen() = default;
    [[nodiscard]] virtual PermissionSection section() const = 0;
    virtual void grantMicrophoneAccess() = 0;
    virtual void openMicrophoneSettings() = 0;
    virtual void continueToLabs() = 0;
};

}  // namespace pelunna
