#include "app/AppDelegate.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Fakes.hpp"

namespace pelunna::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const std::string entering = "🖥️ Entering fullscreen, styleMask: 32779";

// The delegate after launch, its window shown and the lab behind the permission screen.
struct Launched {
    Launched() {
        delegate->applicationDidFinishLaunching();
        delegate->contentView()->attach(host, engine);
        host.screen->continueToLabs();
    }
    FakeWindow& window() { return *windows.window; }
    bool resizable() { return (window().mask & StyleMask::resizable) != 0; }
    // The platform completed a transition and tells the delegate.
    void entered() {
        window().becomeFullScreen(true);
        delegate->windowDidEnterFullScreen(windows.window);
    }
    void exiting() {
        window().becomeFullScreen(false);
        delegate->windowWillExitFullScreen(windows.window);
    }

    FakeServices services;
    FakeWindowSystem windows;
    FakeEngine engine;
    FakeContentHost host;
    std::shared_ptr<app::AppDelegate> delegate = std::make_shared<app::AppDelegate>(
        app::AppServices{services.queue, services.log, windows, engine, services.microphone,
                         services.alerts, services.workspace});
};

TEST(FullScreenLock, AnExitIsUndone300msLaterUnlessAllowedOrAlreadyUndone) {
    Launched app;
    app.delegate->enterFullscreen();
    app.entered();
    EXPECT_FALSE(app.resizable());
    app.exiting();
    app.services.queue.advance(0.29);
    EXPECT_EQ(app.window().toggles, 1);
    app.services.queue.advance(0.01);
    EXPECT_EQ(app.window().toggles, 2);
    EXPECT_TRUE(app.resizable());  // as a first entry finds it

    app.entered();
    app.delegate->enterFullscreen();  // asked again while there: it must not toggle out
    app.exiting();
    app.window().becomeFullScreen(true);  // back before the re-entry was due
    app.services.queue.advance(1);
    app.delegate->allowFullscreenExit = true;
    app.exiting();
    app.services.queue.advance(1);
    EXPECT_EQ(app.window().toggles, 2);
    EXPECT_THAT(app.services.log.lines,
                ElementsAre(entering, "✅ windowDidEnterFullScreen",
                            "⚠️ windowWillExitFullScreen, allowExit: false",
                            "✅ windowDidEnterFullScreen",
                            "⚠️ windowWillExitFullScreen, allowExit: false",
                            "⚠️ windowWillExitFullScreen, allowExit: true"));
}

// Decided: an alert says so, and a refusal offers the settings. Nothing asks the desktop.
TEST(MicrophoneCommand, ADecidedStatusIsOnlyExplained) {
    // The status, the button the learner chooses, the alert's title, settings opened so far.
    const std::tuple<MicrophoneStatus, int, std::string, int> rows[] = {
        {MicrophoneStatus::denied, 1, "Microphone Access Denied", 0},
        {MicrophoneStatus::restricted, 0, "Microphone Access Denied", 1},
        {MicrophoneStatus::authorized, 0, "Microphone Already Enabled", 1},
    };
    Launched app;
    for (const auto& [status, button, title, settingsOpened] : rows) {
        app.services.microphone.status = status;
        app.delegate->requestMicrophonePermission();
        app.services.alerts.answers.back()({AlertResponse::firstButton + button, ""});
        EXPECT_EQ(app.services.alerts.shown.back().messageText, title);
        EXPECT_EQ(app.services.workspace.settingsOpened, settingsOpened);
    }
    app.services.queue.advance(5);
    EXPECT_THAT(app.services.microphone.requests, IsEmpty());
    EXPECT_EQ(app.window().toggles, 0);
}

// Undecided: the lock is lifted for the desktop's prompt, a full-screen window leaves and
// comes back after the answer, and the lock returns one second after the answer.
TEST(MicrophoneCommand, ThePromptLiftsTheLockUntilASecondAfterTheAnswer) {
    // In full screen, asked after, back in full screen before the answer, granted, toggles, last
    // line.
    const std::tuple<bool, double, bool, bool, int, std::string> rows[] = {
        {true, 1.0, false, true, 2, entering},
        {true, 1.0, true, true, 1, "✅ Mic granted"},
        {false, 0.1, false, false, 0, "❌ Mic denied"},
    };
    for (const auto& [fullScreen, askedAfter, backBeforeAnswer, granted, toggles, lastLine] :
         rows) {
        Launched app;
        if (fullScreen) {
            app.entered();
        }
        app.delegate->requestMicrophonePermission();
        if (fullScreen) {
            app.exiting();
        }
        app.services.queue.advance(askedAfter - 0.01);
        EXPECT_THAT(app.services.microphone.requests, IsEmpty());
        app.services.queue.advance(0.01);
        ASSERT_EQ(app.services.microphone.requests.size(), 1u);
        app.window().becomeFullScreen(backBeforeAnswer);
        app.services.microphone.requests[0](granted);
        app.services.queue.advance(0.99);
        EXPECT_EQ(app.window().toggles, toggles);
        EXPECT_EQ(app.services.log.lines.back(), lastLine);
        EXPECT_TRUE(app.delegate->allowFullscreenExit);
        app.services.queue.advance(0.01);
        EXPECT_FALSE(app.delegate->allowFullscreenExit);
    }
}

// Quit ends the pages, then waits for the removal of all website data, at most five seconds.
TEST(Termination, EndsThePagesThenClearsAllDataWithinFiveSeconds) {
    const std::pair<std::optional<double>, double> rows[] = {
        {1.0, 1.0}, {std::nullopt, 5.0}, {6.0, 5.0}};
    for (const auto& [removedAfter, finishedAfter] : rows) {
        Launched app;
        int finished = 0;
        app.delegate->applicationWillTerminate([&] { ++finished; });
        EXPECT_THAT(Journal(app.engine.journal.end() - 2, app.engine.journal.end()),
                    ElementsAre("terminate", "remove all"));
        if (removedAfter) {
            app.services.queue.asyncAfter(*removedAfter, app.engine.removals.back());
        }
        app.services.queue.advance(finishedAfter - 0.01);
        EXPECT_EQ(finished, 0);
        app.services.queue.advance(0.01);
        EXPECT_EQ(finished, 1);
        app.services.queue.advance(5);
        EXPECT_EQ(finished, 1);
        EXPECT_EQ(app.services.log.lines.size(), removedAfter ? 1u : 0u);
    }
}

}  // namespace
}  // namespace pelunna::test
