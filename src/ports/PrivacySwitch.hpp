#pragma once

namespace pelunna {

// The desktop's own microphone privacy switch, which overrides every application's decision.
class PrivacySwitch {
public:
    virtual ~PrivacySwitch() = default;
    [[nodiscard]] virtual bool microphoneDisabledByDesktop() const = 0;
};

}  // namespace pelunna
