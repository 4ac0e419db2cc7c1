#pragma once

#include <functional>

#include "ports/MainQueue.hpp"
#include "ports/MicrophoneAuthorization.hpp"
#include "ports/PermissionScreen.hpp"
#include "ports/Workspace.hpp"

namespace pelunna::screens {

// A two-way binding to state the root view owns: reading and writing reach the same storage.
template <typename T>
struct Binding {
    std::function<T()> get;
    std::function<void(T)> set;
};

// The permission screen in front of the web content: explains why the lab needs the microphone
// and offers what fits the status. It owns no state: it shows and writes the root view's status
// and leaves through the root view's continue action.
class MicrophonePermissionView final : public PermissionScreen {
public:
    MicrophonePermissionView(Binding<MicrophoneStatus> micStatus, std::function<void()> onContinue,
                             MicrophoneAuthorization& microphone, Workspace& workspace,
                             MainQueue& queue);

    [[nodiscard]] PermissionSection section() const override;
    void grantMicrophoneAccess() override;
    void openMicrophoneSettings() override;
    void continueToLabs() override;

private:
    Binding<MicrophoneStatus> micStatus_;
    std::function<void()> onContinue_;
    MicrophoneAuthorization& microphone_;
    Workspace& workspace_;
    MainQueue& queue_;
};

}  // namespace pelunna::screens
