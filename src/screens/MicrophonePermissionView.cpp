#include "screens/MicrophonePermissionView.hpp"

#include <utility>

namespace pelunna::screens {
namespace {

constexpr double automaticContinueDelaySeconds = 1.0;

}  // namespace

MicrophonePermissionView::MicrophonePermissionView(Binding<MicrophoneStatus> micStatus,
                                                   std::function<void()> onContinue,
                                                   MicrophoneAuthorization& microphone,
                                                   Workspace& workspace, MainQueue& queue)
    : micStatus_(std::move(micStatus)),
      onContinue_(std::move(onContinue)),
      microphone_(microphone),
      workspace_(workspace),
      queue_(queue) {}

PermissionSection MicrophonePermissionView::section() const {
    switch (micStatus_.get()) {
        case MicrophoneStatus::notDetermined:
            return PermissionSection::undecided;
        case MicrophoneStatus::authorized:
            return PermissionSection::granted;
        case MicrophoneStatus::restricted:
        case MicrophoneStatus::denied:
            return PermissionSection::refused;
    }
    return PermissionSection::refused;
}

void MicrophonePermissionView::grantMicrophoneAccess() {
    microphone_.requestAccess([this](bool granted) {
        queue_.async([this, granted] {
            // The screen shows what the desktop now says, not what the answer implied.
            micStatus_.set(microphone_.authorizationStatus());
            if (granted) {
                queue_.asyncAfter(automaticContinueDelaySeconds, onContinue_);
            }
        });
    });
}

void MicrophonePermissionView::openMicrophoneSettings() {
    workspace_.openMicrophoneSettings();
}

void MicrophonePermissionView::continueToLabs() {
    onContinue_();
}

}  // namespace pelunna::screens
