#pragma once

namespace pelunna {

// The desktop around the client: where the user changes microphone access.
class Workspace {
public:
    virtual ~Workspace() = default;
    virtual void openMicrophoneSettings() = 0;
};

}  // namespace pelunna
