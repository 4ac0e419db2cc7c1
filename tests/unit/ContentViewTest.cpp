#include "screens/ContentView.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Fakes.hpp"

namespace pelunna::test {
namespace {

// The root view on fakes, launched with the microphone in the given state.
struct Root {
    explicit Root(MicrophoneStatus status) {
        services.microphone.status = status;
        view.emplace(screens::ContentViewServices{services.queue, services.log, services.microphone,
                                                  services.workspace, services.alerts},
                     FakeServices::service(), [this] { ++fullscreenRequests; });
        view->attach(host, engine);
    }
    PermissionScreen& screen() { return *host.screen; }

    FakeServices services;
    FakeEngine engine;
    FakeContentHost host;
    int fullscreenRequests = 0;
    std::optional<screens::ContentView> view;
};

// Each character pressed with Control.
std::vector<KeyEvent> typed(const std::string& keys) {
    std::vector<KeyEvent> events;
    for (const char key : keys) {
        events.push_back({false, true, std::string(1, key)});
    }
    return events;
}

TEST(KeyRules, ZoomStepsUnroundedWithinItsBoundsRefreshReloadsAndOtherKeysPassOn) {
    // The keys pressed, what the last one is answered, the zoom, reloads and log lines after.
    const auto consume = KeyDisposition::consume;
    const auto passOn = KeyDisposition::passOn;
    const std::tuple<std::vector<KeyEvent>, KeyDisposition, double, int, std::size_t> rows[] = {
        {typed(std::string(19, '=')), consume, 2.9000000000000017, 0, 0},
        {typed(std::string(20, '=')), consume, 3.0, 0, 0},
        {typed(std::string(21, '=')), consume, 3.0, 0, 0},
        {typed(std::string(5, '-')), consume, 0.5000000000000001, 0, 0},
        {typed(std::string(6, '-')), consume, 0.5, 0, 0},
        {typed(std::string(7, '-')), consume, 0.5, 0, 0},
        {typed("=======0"), consume, 1.0, 0, 0},
        {typed("rr"), consume, 1.0, 2, 4},
        {typed("Rq"), passOn, 1.0, 0, 0},  // Shift makes "R"; Ctrl+Q is the application's
        {{{false, false, "r"}, {false, true, std::nullopt}, {false, true, "=="}}, passOn, 1, 0, 0},
        {{{true, false, std::nullopt}, {true, true, "r"}}, passOn, 1.0, 0, 2},
    };
    for (const auto& [keys, disposition, zoom, reloads, lines] : rows) {
        Root root(MicrophoneStatus::authorized);
        root.screen().continueToLabs();
        root.engine.view->shownUrl = "https://lab.pelunnalabs.com/";
        root.engine.delegate->didCommitNavigation(*root.engine.view);
        KeyDisposition last{};
        for (const KeyEvent& key : keys) {
            last = root.view->handleKeyDown(key);
        }
        EXPECT_EQ(last, disposition);
        EXPECT_EQ(root.view->zoomLevel(), zoom);
        EXPECT_EQ(root.engine.view->zooms.back(), zoom);
        EXPECT_EQ(root.engine.count("reload"), reloads);
        EXPECT_EQ(root.services.log.lines.size(), lines);
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
    Root root(MicrophoneStatus::authorized);
    FakeKeyMonitor monitor;
    root.view->onWebViewAppear(monitor);
    root.view->onWebViewAppear(monitor);
    root.services.queue.advance(0.299);
    EXPECT_EQ(root.fullscreenRequests, 0);
    root.services.queue.advance(0.001);
    EXPECT_EQ(root.fullscreenRequests, 2);
    EXPECT_EQ(monitor.handlers.size(), 1u);
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
            {restricted, std::nullopt, restricted, refused, 0},
            {denied, std::nullopt, denied, refused, 0},
            {notDetermined, true, authorized, granted, 1},
            {notDetermined, false, denied, refused, 0},
            {notDetermined, true, restricted, refused, 1},  // a policy won
        };
    for (const auto& [atLaunch, answer, afterAnswer, section, continued] : rows) {
        Root root(atLaunch);
        if (answer) {
            root.screen().grantMicrophoneAccess();
            root.services.microphone.status = afterAnswer;
            root.services.microphone.requests.at(0)(*answer);
        }
        root.services.queue.advance(0.99);
        EXPECT_EQ(root.screen().section(), section);
        EXPECT_EQ(root.host.webContents, 0);
        root.services.queue.advance(0.01);
        EXPECT_EQ(root.host.webContents, continued);
        root.screen().continueToLabs();
        root.services.queue.advance(1);
        EXPECT_EQ(root.host.webContents, 1);
        EXPECT_EQ(root.engine.count("make view"), 1);
    }
}

}  // namespace
}  // namespace pelunna::test
