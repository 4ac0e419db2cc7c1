#pragma once

#include <functional>

namespace pelunna {

// The microphone authorization status. Any integer can occur; each caller says how it treats
// values outside the four named ones.
using AuthorizationStatus = int;
namespace MicrophoneStatus {
inline constexpr AuthorizationStatus notDetermined = 0;
inline constexpr AuthorizationStatus restricted = 1;
inline constexpr AuthorizationStatus denied = 2;
inline constexpr AuthorizationStatus authorized = 3;
}  // namespace MicrophoneStatus

// The desktop's decision on whether this application may use the microphone.
class MicrophoneAuthorization {
public:
    virtual ~MicrophoneAuthorization() = default;
    [[nodiscard]] virtual AuthorizationStatus authorizationStatus() const = 0;
    // Asks the user when nothing is decided yet. The completion runs once, later, with the answer.
    virtual void requestAccess(std::function<void(bool granted)> completion) = 0;
};

}  // namespace pelunna
