#include "screens/ContentView.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Fakes.hpp"

namespace pelunna::test {
namespace {

using screens::ContentView;
using testing::ElementsAre;
using testing::IsEmpty;

KeyEvent command(std::string characters) {
    return {false, true, std::move(characters)};
}

class ContentViewTest : public testing::Test {
protected:
    ContentViewTest() {
        view.attach(host, engine);
        host.screen->continueToLabs();
    }

    KeyDisposition press(const KeyEvent& event, int times = 1) {
        KeyDisposition last = KeyDisposition::passOn;
        for (int i = 0; i < times; ++i) {
            last = view.handleKeyDown(event);
        }
        return last;
    }

    FakeServices services;
    FakeQueue& queue = services.queue;
    RecordingLog& log = services.log;
    FakeEngine engine;
    FakeContentHost host;
    int fullscreenRequests = 0;
    ContentView view{{queue, log, services.microphone, services.workspace, services.alerts},
                     FakeServices::service(),
                     [this] { ++fullscreenRequests; }};
};

TEST_F(ContentViewTest, ZoomInStepsUnroundedAndStopsAtThree) {
    EXPECT_EQ(press(command("="), 19), KeyDisposition::consume);
    EXPECT_EQ(view.zoomLevel(), 2.9000000000000017);
    press(command("="));
    EXPECT_EQ(view.zoomLevel(), 3.0);
    press(command("="), 5);
    EXPECT_EQ(view.zoomLevel(), 3.0);
    EXPECT_THAT(log.lines, IsEmpty());
}

TEST_F(ContentViewTest, ZoomOutStopsAtOneHalfInclusive) {
    press(command("-"), 5);
    EXPECT_EQ(view.zoomLevel(), 0.5000000000000001);
    press(command("-"));
    EXPECT_EQ(view.zoomLevel(), 0.5);
    press(command("-"));
    EXPECT_EQ(view.zoomLevel(), 0.5);
}

TEST_F(ContentViewTest, ActualSizeRestoresExactlyOne) {
    press(command("="), 7);
    EXPECT_EQ(press(command("0")), KeyDisposition::consume);
    EXPECT_EQ(view.zoomLevel(), 1.0);
}

TEST_F(ContentViewTest, EveryZoomChangeReachesThePageWithoutReloading) {
    press(command("="));
    press(command("0"));
    EXPECT_THAT(engine.view->zooms, ElementsAre(1.0, 1.1, 1.0));
    EXPECT_EQ(engine.count("reload"), 0);
}

TEST_F(ContentViewTest, EachRefreshPressReloadsOnce) {
    engine.view->shownUrl = "https://lab.pelunnalabs.com/";
    engine.delegate->didCommitNavigation(*engine.view);
    EXPECT_EQ(press(command("r")), KeyDisposition::consume);
    EXPECT_TRUE(view.refreshTrigger());
    press(command("r"));
    EXPECT_FALSE(view.refreshTrigger());

    EXPECT_EQ(engine.count("reload"), 2);
    EXPECT_THAT(log.lines, ElementsAre("🔄 Refresh triggered", "🔄 Reloading from origin...",
                                       "🔄 Refresh triggered", "🔄 Reloading from origin..."));
}

TEST_F(ContentViewTest, KeysThatMatchNoRuleArePassedOnUntouched) {
    const KeyEvent unmatched[] = {
        command("R"),                 // Shift changes the character: not the refresh key
        command("q"),                 // the application's own accelerator
        {false, false, "r"},          // no command modifier
        {false, true, std::nullopt},  // no characters at all
        {false, true, "=="},          // more than one character
    };
    for (const KeyEvent& event : unmatched) {
        EXPECT_EQ(view.handleKeyDown(event), KeyDisposition::passOn);
    }
    EXPECT_FALSE(view.refreshTrigger());
    EXPECT_EQ(view.zoomLevel(), 1.0);
    EXPECT_THAT(log.lines, IsEmpty());
}

TEST_F(ContentViewTest, EscapeIsLoggedAndPassedOnWhateverTheModifiers) {
    EXPECT_EQ(view.handleKeyDown({true, false, std::nullopt}), KeyDisposition::passOn);
    EXPECT_EQ(view.handleKeyDown({true, true, "r"}), KeyDisposition::passOn);
    EXPECT_FALSE(view.refreshTrigger());
    EXPECT_THAT(log.lines,
                ElementsAre("🔴 ESCAPE KEY PRESSED IN SWIFT", "🔴 ESCAPE KEY PRESSED IN SWIFT"));
}

TEST_F(ContentViewTest, AppearanceAsksForFullScreenAfter300msAndInstallsOneMonitor) {
    FakeKeyMonitor monitor;
    view.onWebViewAppear(monitor);
    EXPECT_THAT(log.lines, ElementsAre("🌐 WebView appeared, entering fullscreen..."));
    ASSERT_EQ(monitor.handlers.size(), 1u);

    queue.advance(0.299);
    EXPECT_EQ(fullscreenRequests, 0);
    queue.advance(0.001);
    EXPECT_EQ(fullscreenRequests, 1);

    // A second appearance asks again but must not apply every shortcut twice.
    view.onWebViewAppear(monitor);
    queue.advance(0.3);
    EXPECT_EQ(fullscreenRequests, 2);
    EXPECT_EQ(monitor.handlers.size(), 1u);
    EXPECT_EQ(monitor.handlers[0](command("=")), KeyDisposition::consume);
    EXPECT_EQ(view.zoomLevel(), 1.1);
}

TEST(ContentViewWithoutAction, AppearanceWithoutAnActionDoesNothingLater) {
    FakeServices services;
    FakeQueue& queue = services.queue;
    FakeKeyMonitor monitor;
    ContentView view{
        {queue, services.log, services.microphone, services.workspace, services.alerts},
        FakeServices::service(),
        nullptr};
    view.onWebViewAppear(monitor);
    queue.advance(1);
    EXPECT_EQ(queue.pendingCount(), 0u);
    EXPECT_EQ(services.log.lines.size(), 1u);
}

}  // namespace
}  // namespace pelunna::test
