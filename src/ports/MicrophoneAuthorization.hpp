#pragma once

#include <functional>

namespace pelunna {

// The microphone authorization status, with the desktop's classic values.
enum class MicrophoneStatus { notDetermined = 0, restricted = 1, denied = 2, authorized = 3 };

// The desktop's decision on whether this application may use the microphone.
class MicrophoneAuthorization {
public:
    virtual ~MicrophoneAuthorization() = default;
    [[nodiscard]] virtual MicrophoneStatus authorizationStatus() const = 0;
    // Asks the user when nothing is decided yet. The completion runs once, later, with the answer.
    virtual void requestAccess(std::function<void(bool granted)> completion) = 0;
};

}  // namespace pelunna
