#include "app/AppDelegate.hpp"
#include "screens/ContentView.hpp"

#include "Fakes.hpp"

namespace pelunna::test {
namespace {

// The client launched with the microphone in the given state: its window shown and the lab
// behind the permission screen.
struct Launched {
    explicit Launched(MicrophoneStatus status = MicrophoneStatus::notDetermined,
                      app::IdleResetTimes idle = {})
        : delegate(std::make_shared<app::AppDelegate>(
              app::AppServices{services.queue, services.log, windows, engine, services.microphone,
                               services.alerts, services.workspace},
              idle)) {
        services.microphone.status = status;
        delegate->applicationDidFinishLaunching();
        view().attach(host, engine);
    }
    screens::ContentView& view() { return *delegate->contentView(); }
    PermissionScreen& screen() { return *host.screen; }
    FakeWindow& window() { return *windows.window; }
    bool resizable() { return (window().mask & StyleMask::resizable) != 0; }
    void advance(double seconds) { services.queue.advance(seconds); }
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
    std::shared_ptr<app::AppDelegate> delegate;
};

TEST(FullScreenLock, AnExitIsUndone300msLaterUnlessAllowedOrAlreadyUndone) {
    Launched app;
    const int& toggles = app.window().toggles;
    app.delegate->enterFullscreen();
    app.entered();
    EXPECT_FALSE(app.resizable());
    app.exiting();
    app.advance(0.29);
    EXPECT_EQ(toggles, 1);
    app.advance(0.01);
    EXPECT_EQ(toggles, 2);
    EXPECT_TRUE(app.resizable());  // as a first entry finds it

    app.entered();
    app.delegate->enterFullscreen();  // asked again while there: it must not toggle out
    app.exiting();
    app.window().becomeFullScreen(true);  // back before the re-entry was due
    app.advance(1);
    app.delegate->allowFullscreenExit = true;
    app.exiting();
    app.advance(1);
    EXPECT_EQ(toggles, 2);
}

// Decided: an alert says so, and a refusal offers the settings. Nothing asks the desktop.
TEST(MicrophoneCommand, ADecidedStatusIsOnlyExplained) {
    // The status, the button the learner chooses, settings opened so far.
    const std::tuple<MicrophoneStatus, int, int> rows[] = {
        {MicrophoneStatus::denied, 1, 0},
        {MicrophoneStatus::restricted, 0, 1},
        {MicrophoneStatus::authorized, 0, 1},
    };
    Launched app;
    for (const auto& [status, button, settingsOpened] : rows) {
        app.services.microphone.status = status;
        app.delegate->requestMicrophonePermission();
        app.services.alerts.answers.back()({AlertResponse::firstButton + button, ""});
        EXPECT_EQ(app.services.workspace.settingsOpened, settingsOpened);
    }
    app.advance(5);
    EXPECT_THAT(app.services.microphone.requests, IsEmpty());
}

// Undecided: the lock is lifted for the desktop's prompt, the full-screen window leaves and comes
// back after the answer unless it is back already, and the lock returns a second after the answer.
TEST(MicrophoneCommand, ThePromptLiftsTheLockUntilASecondAfterTheAnswer) {
    // Back in full screen before the answer, toggles by then.
    const std::pair<bool, int> rows[] = {{false, 2}, {true, 1}};
    for (const auto& [backBeforeAnswer, toggles] : rows) {
        Launched app;
        app.entered();
        app.delegate->requestMicrophonePermission();
        app.exiting();
        app.advance(0.99);
        EXPECT_THAT(app.services.microphone.requests, IsEmpty());
        app.advance(0.01);
        ASSERT_EQ(app.services.microphone.requests.size(), 1u);
        app.window().becomeFullScreen(backBeforeAnswer);
        app.services.microphone.requests[0](false);
        app.advance(0.99);
        EXPECT_EQ(app.window().toggles, toggles);
        EXPECT_TRUE(app.delegate->allowFullscreenExit);
        app.advance(0.01);
        EXPECT_FALSE(app.delegate->allowFullscreenExit);
    }
}

TEST(Termination, EndsThePagesThenClearsAllDataWithinFiveSeconds) {
    const std::pair<std::optional<double>, double> rows[] = {
        {1.0, 1.0}, {std::nullopt, 5.0}, {6.0, 5.0}};
    for (const auto& [removedAfter, finishedAfter] : rows) {
        Launched app;
        app.screen().continueToLabs();
        int finished = 0;
        app.delegate->applicationWillTerminate([&] { ++finished; });
        EXPECT_THAT(Journal(app.engine.journal.end() - 2, app.engine.journal.end()),
                    ElementsAre("terminate", "remove all"));
        if (removedAfter) {
            app.services.queue.asyncAfter(*removedAfter, app.engine.removals.back());
        }
        app.advance(finishedAfter - 0.01);
        EXPECT_EQ(finished, 0);
        app.advance(0.01);
        EXPECT_EQ(finished, 1);
        app.advance(5);
        EXPECT_EQ(finished, 1);
        EXPECT_EQ(app.services.log.lines.size(), removedAfter ? 1u : 0u);
    }
}

// Each character pressed with Control.
std::vector<KeyEvent> typed(const std::string& keys) {
    std::vector<KeyEvent> events;
    for (const char key : keys) {
        events.push_back({false, true, std::string(1, key)});
    }
    return events;
}

TEST(KeyRules, ZoomStepsWithinItsBoundsRefreshReloadsAndOtherKeysPassOn) {
    // The keys pressed, what the last one is answered, the zoom and the reloads after.
    using enum KeyDisposition;
    const std::tuple<std::vector<KeyEvent>, KeyDisposition, double, int> rows[] = {
        {typed("="), consume, 1.1, 0},
        {typed("-"), consume, 0.9, 0},
        {typed(std::string(21, '=')), consume, 3.0, 0},
        {typed(std::string(7, '-')), consume, 0.5, 0},
        {typed("=======0"), consume, 1.0, 0},
        {typed("rr"), consume, 1.0, 2},
        {typed("Rq"), passOn, 1.0, 0},  // Shift makes "R"; Ctrl+Q is the application's
        {{{false, false, "r"}, {false, true, std::nullopt}, {false, true, "=="}}, passOn, 1, 0},
        {{{true, false, std::nullopt}, {true, true, "r"}}, passOn, 1.0, 0},
    };
    for (const auto& [keys, disposition, zoom, reloads] : rows) {
        Launched app;
        app.screen().continueToLabs();
        app.engine.view->shownUrl = "https://lab.pelunnalabs.com/";
        app.engine.delegate->didCommitNavigation(*app.engine.view);
        KeyDisposition last{};
        for (const KeyEvent& key : keys) {
            last = app.view().handleKeyDown(key);
        }
        EXPECT_EQ(last, disposition);
        EXPECT_EQ(app.engine.view->zooms.back(), zoom);
        EXPECT_EQ(app.engine.count("reload"), reloads);
    }
}

class FakeKeyMonitor final : public KeyMonitor {
public:
    void addLocalMonitorForKeyDown(std::function<KeyDisposition(const KeyEvent&)> h) override {
        handlers.push_back(std::move(h));
    }
    std::vector<std::function<KeyDisposition(const KeyEvent&)>> handlers;
};

TEST(ContentView, EachAppearanceAsksForFullScreen300msLaterAndKeysAreMonitoredOnce) {
    Launched app;
    FakeKeyMonitor monitor;
    app.view().onWebViewAppear(monitor);
    app.view().onWebViewAppear(monitor);
    app.advance(0.299);
    EXPECT_EQ(app.window().toggles, 0);
    app.advance(0.001);
    EXPECT_EQ(app.window().toggles, 2);
    EXPECT_EQ(monitor.handlers.size(), 1u);
}

// A seat left idle counts down over the window, then the lab's pages end before all website data
// goes, and the permission screen comes back, as at launch, once the data is gone or 5 s passed.
TEST(StartOver, ThePermissionScreenComesBackOnceTheLastLearnersDataIsGone) {
    for (const bool removalAnswers : {true, false}) {
        Launched app(MicrophoneStatus::authorized, {1, 1.0});
        FakeKeyMonitor monitor;
        app.screen().continueToLabs();
        app.view().onWebViewAppear(monitor);
        app.view().handleKeyDown({false, true, "="});
        app.advance(0.3 + 60);
        EXPECT_EQ(app.window().notice, "Still there? The lab starts over in 60 seconds.");
        app.advance(60);
        EXPECT_EQ(app.window().notice, std::nullopt);
        EXPECT_THAT(Journal(app.engine.journal.end() - 2, app.engine.journal.end()),
                    ElementsAre("terminate", "remove all"));
        const int screens = app.host.permissionScreens;
        app.advance(removalAnswers ? 1 : 4.99);
        EXPECT_EQ(app.host.permissionScreens, screens);
        if (removalAnswers) {
            app.engine.removals.back()();
        } else {
            app.advance(0.01);
        }
        EXPECT_EQ(app.host.permissionScreens, screens + 1);
        app.advance(5);
        EXPECT_EQ(app.host.permissionScreens, screens + 1) << "shown twice";
        app.screen().continueToLabs();
        EXPECT_EQ(app.engine.view->zooms, std::vector<double>{1.0});
    }
}

// Every launch shows the permission screen; only a granted request continues by itself, one
// second after the answer, and the section shows what the desktop says after it.
TEST(PermissionGate, TheSectionFollowsTheStatusAndOnlyAGrantContinuesByItself) {
    using enum MicrophoneStatus;
    using enum PermissionSection;
    // The status at launch, the learner's answer, the status after it, the section, continued.
    const std::tuple<MicrophoneStatus, std::optional<bool>, MicrophoneStatus, PermissionSection,
                     int>
        rows[] = {
            {notDetermined, std::nullopt, notDetermined, undecided, 0},
            {authorized, std::nullopt, authorized, granted, 0},
            {denied, std::nullopt, denied, refused, 0},
            {notDetermined, true, authorized, granted, 1},
            {notDetermined, false, denied, refused, 0},
            {notDetermined, true, restricted, refused, 1},  // a policy won
        };
    for (const auto& [atLaunch, answer, afterAnswer, section, continued] : rows) {
        Launched app(atLaunch);
        if (answer) {
            app.screen().grantMicrophoneAccess();
            app.services.microphone.status = afterAnswer;
            app.services.microphone.requests.at(0)(*answer);
        }
        app.advance(0.99);
        EXPECT_EQ(app.screen().section(), section);
        EXPECT_EQ(app.host.webContents, 0);
        app.advance(0.01);
        EXPECT_EQ(app.host.webContents, continued);
        app.screen().continueToLabs();
        app.advance(1);
        EXPECT_EQ(app.engine.count("make view"), 1);
    }
}

}  // namespace
}  // namespace pelunna::test
