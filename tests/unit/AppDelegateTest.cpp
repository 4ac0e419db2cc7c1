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

    FakeQueue queue;
    RecordingLog log;
    FakeWindowSystem windows;
    Journal journal;
    FakeDataStore store{journal};
    std::shared_ptr<AppDelegate> delegate =
        std::make_shared<AppDelegate>(queue, log, windows, store);
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
    EXPECT_TRUE(settings.tabbingDisallowed && settings.fullScreenPrimary);
    EXPECT_EQ(window().contentView, delegate->contentView());
    EXPECT_EQ(window().delegate, delegate.get());
    EXPECT_EQ(window().orderedFront, 1);
    EXPECT_EQ(windows.activations, 1);
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

    window().frame = {1280, 800};
    EXPECT_EQ(delegate->windowWillResize(window(), {640, 480}), (Size{1280, 800}));
    window().becomeFullScreen(false);
    EXPECT_EQ(delegate->windowWillResize(window(), {640, 480}), (Size{640, 480}));
    EXPECT_EQ(delegate->willUseFullScreenPresentationOptions(0), 1029u);
    EXPECT_EQ(delegate->willUseFullScreenPresentationOptions(2), 1029u);
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
