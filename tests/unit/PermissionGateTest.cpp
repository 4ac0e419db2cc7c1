#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Fakes.hpp"
#include "screens/ContentView.hpp"

namespace pelunna::test {
namespace {

using screens::ContentView;

class PermissionGate : public testing::Test {
protected:
    // The root view is built at launch, reading the status once.
    void launch(MicrophoneStatus status) {
        services.microphone.status = status;
        view = std::make_unique<ContentView>(
            screens::ContentViewServices{services.queue, services.log, services.microphone,
                                         services.workspace, services.alerts},
            FakeServices::service(), nullptr);
        view->attach(host, engine);
    }
    PermissionScreen& screen() { return *host.screen; }

    FakeServices services;
    FakeQueue& queue = services.queue;
    FakeMicrophone& microphone = services.microphone;
    FakeEngine engine;
    FakeContentHost host;
    std::unique_ptr<ContentView> view;
};

TEST_F(PermissionGate, EveryLaunchStartsOnThePermissionScreen) {
    launch(MicrophoneStatus::authorized);
    EXPECT_EQ(microphone.statusReads, 1);
    EXPECT_EQ(screen().section(), PermissionSection::granted);
    EXPECT_EQ(host.webContents, 0);
    EXPECT_EQ(engine.view, nullptr);
    queue.advance(10);  // no automatic continue without a request made here
    EXPECT_EQ(host.webContents, 0);

    screen().continueToLabs();
    EXPECT_EQ(host.webContents, 1);
    EXPECT_EQ(engine.count("make view"), 1);
}

TEST_F(PermissionGate, TheSectionFollowsTheStatus) {
    const std::pair<MicrophoneStatus, PermissionSection> cases[] = {
        {MicrophoneStatus::notDetermined, PermissionSection::undecided},
        {MicrophoneStatus::authorized, PermissionSection::granted},
        {MicrophoneStatus::restricted, PermissionSection::refused},
        {MicrophoneStatus::denied, PermissionSection::refused},
    };
    for (const auto& [status, section] : cases) {
        launch(status);
        EXPECT_EQ(screen().section(), section) << static_cast<int>(status);
    }
}

TEST_F(PermissionGate, AGrantedRequestShowsTheGrantedSectionThenContinuesOneSecondLater) {
    launch(MicrophoneStatus::notDetermined);
    screen().grantMicrophoneAccess();
    ASSERT_EQ(microphone.requests.size(), 1u);

    microphone.answer(0, true);
    queue.advance(0);
    EXPECT_EQ(view->micStatus(), MicrophoneStatus::authorized);
    EXPECT_EQ(screen().section(), PermissionSection::granted);
    EXPECT_EQ(host.permissionScreens, 2);
    queue.advance(0.99);
    EXPECT_EQ(host.webContents, 0);
    queue.advance(0.01);
    EXPECT_EQ(host.webContents, 1);
    EXPECT_TRUE(view->micPermissionResolved());
}

TEST_F(PermissionGate, ContinuingDuringTheAutomaticSecondChangesNothingLater) {
    launch(MicrophoneStatus::notDetermined);
    screen().grantMicrophoneAccess();
    screen().grantMicrophoneAccess();
    microphone.answer(0, true);
    microphone.answer(1, true);
    queue.advance(0.5);
    screen().continueToLabs();
    queue.advance(2);

    EXPECT_EQ(host.webContents, 1);
    EXPECT_EQ(engine.count("make view"), 1);
    EXPECT_EQ(engine.count("remove caches"), 1);
}

TEST_F(PermissionGate, ARefusedRequestStaysOnTheRefusedSection) {
    launch(MicrophoneStatus::notDetermined);
    screen().grantMicrophoneAccess();
    microphone.answer(0, false);
    queue.advance(5);
    EXPECT_EQ(screen().section(), PermissionSection::refused);
    EXPECT_EQ(host.webContents, 0);

    screen().openMicrophoneSettings();
    screen().openMicrophoneSettings();
    EXPECT_EQ(services.workspace.settingsOpened, 2);
    EXPECT_EQ(screen().section(), PermissionSection::refused);
}

TEST_F(PermissionGate, TheStoredStatusIsTheOneReadAfterTheAnswerNotTheAnswer) {
    launch(MicrophoneStatus::notDetermined);
    screen().grantMicrophoneAccess();
    microphone.requests[0](true);
    microphone.status = MicrophoneStatus::restricted;  // an administrator's policy won
    queue.advance(0);
    EXPECT_EQ(screen().section(), PermissionSection::refused);
    queue.advance(1);
    EXPECT_EQ(host.webContents, 1);
}

}  // namespace
}  // namespace pelunna::test
