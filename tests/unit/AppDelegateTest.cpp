#include "app/AppDelegate.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Fakes.hpp"

namespace pelunna::test {
namespace {

using app::AppDelegate;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr std::uint64_t createdMask = 32779;

class AppDelegateTest : public testing::Test {
protected:
    void launch() { delegate->applicationDidFinishLaunching(); }
    FakeWindow& window() { return *windows.window; }

    FakeServices services;
    FakeQueue& queue = services.queue;
    RecordingLog& log = services.log;
    FakeMicrophone& microphone = services.microphone;
    FakeAlerts& alerts = services.alerts;
    FakeWindowSystem windows;
    Journal journal;
    FakeDataStore store{journal};
    std::shared_ptr<AppDelegate> delegate = std::make_shared<AppDelegate>(
        app::AppServices{queue, log, windows, store, microphone, alerts, services.workspace});
};

TEST_F(AppDelegateTest, LaunchCreatesOneWindowCoveringTheMainScreen) {
    windows.screen = Rect{0, 0, {1920, 1080}};
    launch();

    ASSERT_TRUE(windows.settings.has_value());
    const WindowSettings& settings = *windows.settings;
    EXPECT_EQ(settings.contentRect, (Rect{0, 0, {1920, 1080}}));
    EXPECT_EQ(settings.styleMask, createdMask);
    EXPECT_TRUE(settings.titleHidden && settings.titlebarAppearsTransparent);
    EXPECT_TRUE(settings.miniaturizeButtonHidden && settings.zoomButtonHidden);
    EXPECT_EQ(window().contentView, delegate->contentView());
    EXPECT_EQ(window().delegate, delegate.get());
    EXPECT_EQ(window().orderedFront, 1);
    EXPECT_FALSE(window().isFullScreen());
    EXPECT_THAT(log.lines, IsEmpty());
}

TEST_F(AppDelegateTest, WithoutAScreenTheWindowIs1200By800AtTheOrigin) {
    launch();
    EXPECT_EQ(windows.settings->contentRect, (Rect{0, 0, {1200, 800}}));
}

TEST_F(AppDelegateTest, EnterFullscreenLogsTheMaskAndToggles) {
    delegate->enterFullscreen();  // before launch: no window, nothing happens
    EXPECT_THAT(log.lines, IsEmpty());

    launch();
    delegate->enterFullscreen();
    EXPECT_THAT(log.lines, ElementsAre("🖥️ Entering fullscreen, styleMask: 32779"));
    EXPECT_EQ(window().toggles, 1);
}

TEST_F(AppDelegateTest, EnterFullscreenWhileInFullScreenOnlyRestoresResizable) {
    launch();
    window().becomeFullScreen(true);
    window().setStyleMask(window().styleMask() & ~StyleMask::resizable);

    delegate->enterFullscreen();

    EXPECT_THAT(log.lines, IsEmpty());
    EXPECT_EQ(window().toggles, 0);
    EXPECT_NE(window().styleMask() & StyleMask::resizable, 0u);
}

TEST_F(AppDelegateTest, TheRootViewAsksForFullScreen300msAfterTheWebContentAppears) {
    launch();
    FakeKeyMonitor monitor;
    delegate->contentView()->onWebViewAppear(monitor);

    queue.advance(0.29);
    EXPECT_EQ(window().toggles, 0);
    queue.advance(0.01);
    EXPECT_EQ(window().toggles, 1);
}

TEST_F(AppDelegateTest, TheRootViewsActionDoesNotKeepTheDelegateAlive) {
    launch();
    FakeKeyMonitor monitor;
    delegate->contentView()->onWebViewAppear(monitor);
    auto keptWindow = windows.window;
    std::weak_ptr<AppDelegate> weak = delegate;

    delegate.reset();
    EXPECT_TRUE(weak.expired());
    queue.advance(1.0);
    EXPECT_EQ(keptWindow->toggles, 0);
}

TEST_F(AppDelegateTest, EnteringFullScreenLocksTheSize) {
    launch();
    window().becomeFullScreen(true);
    delegate->windowDidEnterFullScreen(windows.window);

    EXPECT_THAT(log.lines, ElementsAre("✅ windowDidEnterFullScreen"));
    EXPECT_EQ(window().styleMask(), (createdMask | StyleMask::fullScreen) & ~StyleMask::resizable);
}

TEST_F(AppDelegateTest, ARefusedExitIsUndone300msLater) {
    launch();
    window().becomeFullScreen(true);
    delegate->windowDidEnterFullScreen(windows.window);
    window().becomeFullScreen(false);

    delegate->windowWillExitFullScreen(windows.window);
    EXPECT_EQ(log.lines.back(), "⚠️ windowWillExitFullScreen, allowExit: false");

    queue.advance(0.29);
    EXPECT_EQ(window().toggles, 0);
    queue.advance(0.01);
    EXPECT_EQ(window().toggles, 1);
    // Re-entry makes the window resizable again before toggling, as a first entry would find it.
    EXPECT_NE(window().styleMask() & StyleMask::resizable, 0u);
}

TEST_F(AppDelegateTest, ReentryIsSkippedWhenTheWindowIsAlreadyBack) {
    launch();
    window().becomeFullScreen(false);
    delegate->windowWillExitFullScreen(windows.window);
    window().becomeFullScreen(true);

    queue.advance(0.3);
    EXPECT_EQ(window().toggles, 0);
}

TEST_F(AppDelegateTest, AnAllowedExitStands) {
    launch();
    delegate->allowFullscreenExit = true;
    delegate->windowWillExitFullScreen(windows.window);

    EXPECT_THAT(log.lines, ElementsAre("⚠️ windowWillExitFullScreen, allowExit: true"));
    queue.advance(5);
    EXPECT_EQ(window().toggles, 0);
}

TEST_F(AppDelegateTest, NotificationsWithoutAWindowOnlyLog) {
    launch();
    delegate->windowDidEnterFullScreen(nullptr);
    delegate->windowWillExitFullScreen(nullptr);

    EXPECT_THAT(log.lines, ElementsAre("✅ windowDidEnterFullScreen",
                                       "⚠️ windowWillExitFullScreen, allowExit: false"));
    EXPECT_EQ(queue.pendingCount(), 0u);
    EXPECT_EQ(window().styleMask(), createdMask);
}

TEST_F(AppDelegateTest, ReopenBringsTheWindowToTheFrontAndAnswersFalse) {
    EXPECT_FALSE(delegate->applicationShouldHandleReopen(false));
    launch();
    EXPECT_FALSE(delegate->applicationShouldHandleReopen(true));
    EXPECT_EQ(window().orderedFront, 2);
}

TEST_F(AppDelegateTest, TerminationWaitsForTheRemovalOfAllWebsiteData) {
    int finished = 0;
    delegate->applicationWillTerminate([&] { ++finished; });

    EXPECT_THAT(journal, ElementsAre("remove all"));
    queue.advance(4.9);
    EXPECT_EQ(finished, 0);
    EXPECT_THAT(log.lines, IsEmpty());

    store.completions.at(0)();
    EXPECT_EQ(finished, 1);
    EXPECT_THAT(log.lines, ElementsAre("✅ All website data cleared on quit"));
    queue.advance(1);
    EXPECT_EQ(finished, 1);
}

TEST_F(AppDelegateTest, TerminationGivesUpOnTheRemovalAfterFiveSeconds) {
    int finished = 0;
    delegate->applicationWillTerminate([&] { ++finished; });

    queue.advance(4.99);
    EXPECT_EQ(finished, 0);
    queue.advance(0.01);
    EXPECT_EQ(finished, 1);
    EXPECT_THAT(log.lines, IsEmpty());
}

}  // namespace
}  // namespace pelunna::test

namespace pelunna::test {
namespace {

class MicrophoneCommand : public AppDelegateTest {
protected:
    void SetUp() override { launch(); }
    void enterLockedFullScreen() {
        window().becomeFullScreen(true);
        delegate->windowDidEnterFullScreen(windows.window);
        log.lines.clear();
    }
};

TEST_F(MicrophoneCommand, TheMenuHoldsTheCommandASeparatorAndQuitOnly) {
    EXPECT_TRUE(windows.menuInstalledBeforeWindow);
    ASSERT_EQ(windows.menu.size(), 3u);
    EXPECT_EQ(windows.menu[0].title, "Microphone Permission");
    EXPECT_EQ(windows.menu[0].action, ApplicationDelegate::microphonePermissionAction);
    EXPECT_EQ(windows.menu[0].accelerator, "<Control><Shift>m");
    EXPECT_EQ(windows.menu[1].title, "");
    EXPECT_EQ(windows.menu[2].title, "Quit");
    EXPECT_EQ(windows.menu[2].action, ApplicationDelegate::quitAction);
    EXPECT_EQ(windows.menu[2].accelerator, "<Control>q");
}

TEST_F(MicrophoneCommand, ARefusedMicrophoneOffersTheSettings) {
    for (const MicrophoneStatus status : {MicrophoneStatus::denied, MicrophoneStatus::restricted}) {
        microphone.status = status;
        delegate->requestMicrophonePermission();
    }
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_EQ(alerts.shown[0].messageText, "Microphone Access Denied");
    EXPECT_EQ(
        alerts.shown[0].informativeText,
        "Microphone permission was previously denied. Click \"Open Settings\" to enable it in "
        "System Settings > Privacy & Security > Microphone.\n\nAfter enabling it, you may "
        "need to restart the app.");
    EXPECT_THAT(alerts.shown[0].buttons, ElementsAre("Open Settings", "Cancel"));

    alerts.answer(0, AlertResponse::firstButton + 1);
    EXPECT_EQ(services.workspace.settingsOpened, 0);
    alerts.answer(1, AlertResponse::firstButton);
    EXPECT_EQ(services.workspace.settingsOpened, 1);
    EXPECT_THAT(log.lines, IsEmpty());
}

TEST_F(MicrophoneCommand, AnAuthorizedMicrophoneIsConfirmed) {
    microphone.status = MicrophoneStatus::authorized;
    delegate->requestMicrophonePermission();
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].messageText, "Microphone Already Enabled");
    EXPECT_EQ(alerts.shown[0].informativeText,
              "Microphone access is already granted. Web pages on pelunnalabs.com can use your "
              "microphone.");
    EXPECT_THAT(alerts.shown[0].buttons, ElementsAre("OK"));
    EXPECT_THAT(microphone.requests, IsEmpty());
}

TEST_F(MicrophoneCommand, InFullScreenTheLockIsLiftedForThePromptAndRestoredAfter) {
    enterLockedFullScreen();
    delegate->requestMicrophonePermission();
    EXPECT_TRUE(delegate->allowFullscreenExit);
    EXPECT_EQ(window().toggles, 1);

    window().becomeFullScreen(false);
    delegate->windowWillExitFullScreen(windows.window);
    EXPECT_THAT(log.lines, ElementsAre("⚠️ windowWillExitFullScreen, allowExit: true"));
    queue.advance(0.99);
    EXPECT_THAT(microphone.requests, IsEmpty());
    queue.advance(0.01);
    ASSERT_EQ(microphone.requests.size(), 1u);
    EXPECT_EQ(window().toggles, 1);  // the exit stood

    microphone.answer(0, true);
    queue.advance(0);
    EXPECT_THAT(log.lines,
                ElementsAre("⚠️ windowWillExitFullScreen, allowExit: true", "✅ Mic granted",
                            "🖥️ Entering fullscreen, styleMask: 32779"));
    EXPECT_EQ(window().toggles, 2);
    queue.advance(0.99);
    EXPECT_TRUE(delegate->allowFullscreenExit);
    queue.advance(0.01);
    EXPECT_FALSE(delegate->allowFullscreenExit);
}

TEST_F(MicrophoneCommand, WindowedTheWindowIsLeftAloneAndAskedSooner) {
    delegate->requestMicrophonePermission();
    queue.advance(0.1);
    ASSERT_EQ(microphone.requests.size(), 1u);
    microphone.answer(0, false);
    queue.advance(0);
    EXPECT_THAT(log.lines, ElementsAre("❌ Mic denied"));
    EXPECT_EQ(window().toggles, 0);
    queue.advance(1);
    EXPECT_FALSE(delegate->allowFullscreenExit);
}

TEST_F(MicrophoneCommand, AWindowAlreadyBackInFullScreenIsNotToggledAgain) {
    enterLockedFullScreen();
    delegate->requestMicrophonePermission();
    queue.advance(1);
    window().becomeFullScreen(true);
    microphone.answer(0, true);
    queue.advance(0);
    EXPECT_THAT(log.lines, ElementsAre("✅ Mic granted"));
    EXPECT_EQ(window().toggles, 1);
}

TEST_F(MicrophoneCommand, ASecondSequenceOnTopRestoresTheLockAfterTheEarliestAnswer) {
    delegate->requestMicrophonePermission();
    delegate->requestMicrophonePermission();
    queue.advance(0.1);
    ASSERT_EQ(microphone.requests.size(), 2u);
    microphone.answer(0, true);
    queue.advance(0.5);
    microphone.requests[1](true);
    queue.advance(0.5);
    EXPECT_FALSE(delegate->allowFullscreenExit);
}

}  // namespace
}  // namespace pelunna::test
