#pragma once

#include <functional>

#include "platform/MainQueue.hpp"
#include "platform/MicrophoneAuthorization.hpp"
#include "platform/Workspace.hpp"

namespace pelunna::screens {

// Which part of the permission screen fits the microphone status.
enum class PermissionSection { undecided, granted, refused };

// A two-way binding to state the root view owns: reading and writing reach the same storage.
template <typename T>
struct Binding {
    std::function<T()> get;
    std::function<void(T)> set;
};

// The permission screen in front of the web content: explains why the lab needs the microphone
// and offers what fits the status. It owns no state: it shows and writes the root view's status
// and leaves through the root view's continue action.
class MicrophonePermissionView {
public:
    MicrophonePermissionView(Binding<AuthorizationStatus> micStatus,
                             std::function<void()> onContinue, MicrophoneAuthorization& microphone,
                             Workspace& workspace, MainQueue& queue);

    [[nodiscard]] PermissionSection section() const;
    void grantMicrophoneAccess();
    void openMicrophoneSettings();
    void continueToLabs();

private:
    Binding<AuthorizationStatus> micStatus_;
    std::function<void()> onContinue_;
    MicrophoneAuthorization& microphone_;
    Workspace& workspace_;
    MainQueue& queue_;
};

}  // namespace pelunna::screens
