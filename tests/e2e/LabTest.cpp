#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ClientFixture.hpp"

namespace pelunna::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* refusedExitLine = "⚠️ windowWillExitFullScreen, allowExit: false";
constexpr const char* escapeLine = "🔴 ESCAPE KEY PRESSED IN SWIFT";

// Reports its viewport whenever it changes (page zoom shows in its width), and each key.
constexpr const char* labPage = R"(<!doctype html><body style="margin:0"><script>
let viewport = '';
setInterval(() => {
    if (viewport !== innerWidth + ',' + innerHeight) console.log('viewport', viewport = innerWidth + ',' + innerHeight);
}, 100);
addEventListener('keydown', (event) => {
    console.log('keydown', event.key);
    if (event.key === 'a') for (;;) alert('Stay');
});
console.log('dark', matchMedia('(prefers-color-scheme: dark)').matches);
console.log('ready');
</script>)";

class Lab : public Client {
protected:
    // "WIDTH,HEIGHT" as the page reported it last.
    [[nodiscard]] std::string viewport() const {
        const std::string prefix = console(R"(["viewport",")");
        const auto all = lines();
        const auto last = std::find_if(all.rbegin(), all.rend(), [&](const std::string& line) {
            return line.starts_with(prefix);
        });
        return last == all.rend() ? ""
                                  : last->substr(prefix.size(), last->size() - prefix.size() - 2);
    }

    // The CSS width is a whole number: within 1 of the exact quotient.
    ::testing::AssertionResult waitForWidth(double expected) {
        return waitFor([&] { return std::abs(std::atoi(viewport().c_str()) - expected) <= 1; },
                       "page " + std::to_string(expected) + " wide");
    }
};

TEST_F(Lab, OpensInALockedFullScreenTakesItsKeysAndQuitsClean) {
    server().page("/start.html", labPage);
    launch();
    ASSERT_FALSE(HasFatalFailure());
    // Xvfb has no GPU: the client chose the CPU by itself, before anything else.
    EXPECT_EQ(where("🎨 Drawing on the CPU: ", true), std::vector<std::size_t>{0});
    const std::string main = window();
    ASSERT_TRUE(waitFor([&] { return fullScreen(main); }, "full screen"));
    // The page covers the screen: no frame, no title bar.
    const auto [width, height] = display();
    const std::string screen = std::to_string(width) + "," + std::to_string(height);
    ASSERT_TRUE(waitFor([&] { return viewport() == screen; }, "page of " + screen));
    // The test display is light, and so is the page.
    EXPECT_EQ(count(console(R"(["dark",false])")), 1);
    // The menu bar slides over the page, whose size stays.
    ASSERT_TRUE(run("xdotool mousemove " + std::to_string(width / 2) + " 0").ok());
    EXPECT_TRUE(waitFor([&] { return noticeAt(4, 4); }, "the menu bar"));
    // A letter of the Tamil layout, whose key value lies beyond the Latin ones, reaches the page.
    ASSERT_TRUE(run("xdotool windowactivate --sync " + main + " type க").ok());
    ASSERT_TRUE(waitForLine(console(R"(["keydown","க"])")));
    EXPECT_EQ(viewport(), screen);
    ASSERT_TRUE(
        run("xdotool mousemove " + std::to_string(width / 2) + " " + std::to_string(height / 2))
            .ok());

    // An exit from outside is undone, once.
    ASSERT_TRUE(run("wmctrl -i -r " + main + " -b remove,fullscreen").ok());
    ASSERT_TRUE(waitForLine(refusedExitLine));
    ASSERT_TRUE(waitForLine(fullScreenLine, 2));
    ASSERT_TRUE(waitFor([&] { return viewport() == screen; }, "page of " + screen + " again"));
    EXPECT_EQ(count(refusedExitLine), 1);

    ASSERT_TRUE(press(main, "ctrl+equal"));
    EXPECT_TRUE(waitForWidth(width / 1.1));
    ASSERT_TRUE(press(main, "ctrl+minus ctrl+minus"));
    EXPECT_TRUE(waitForWidth(width / 0.9));
    ASSERT_TRUE(press(main, "ctrl+0"));
    EXPECT_TRUE(waitForWidth(width));

    // Escape is logged, then reaches the page, which leaves it to the engine to hand back to the
    // window: still one line per press. GTK's Inspector keys open nothing.
    ASSERT_TRUE(press(main, "Escape Escape ctrl+shift+d ctrl+shift+i x"));
    ASSERT_TRUE(waitForLine(console(R"(["keydown","x"])")));
    EXPECT_EQ(windows().size(), 1u) << "GTK's Inspector opened";
    EXPECT_EQ(count(escapeLine), 2);
    EXPECT_EQ(count(console(R"(["keydown","Escape"])")), 2);
    EXPECT_LT(where(escapeLine), where(console(R"(["keydown","Escape"])")));

    // Shift makes "R", which is the page's; Ctrl+R reloads from the server.
    ASSERT_TRUE(press(main, "ctrl+shift+r ctrl+r"));
    ASSERT_TRUE(waitForLine(console(R"(["ready"])"), 2));
    EXPECT_EQ(count(console(R"(["keydown","R"])")), 1);
    EXPECT_EQ(server().hits("/start.html"), 2);

    // Ctrl+Q quits even over a page that raises one alert after another.
    ASSERT_TRUE(press(main, "a"));
    ASSERT_TRUE(press(dialog(), "ctrl+q"));
    EXPECT_EQ(waitForExit(), 0);
    EXPECT_EQ(count(clearedLine), 1);
}

// A learner walks away: after the idle minute (6 s in this build) a countdown shows over the lab;
// a key keeps the lab and reaches nothing else. The next time the seat starts over at the
// permission screen, still in full screen, and the next learner's lab finds nothing of the last.
TEST_F(Lab, AnIdleSeatStartsOverForTheNextLearner) {
    setIdleReset(1);
    server().page("/start.html", R"(<!doctype html><script>
console.log('found', document.cookie, localStorage.getItem('learner'));
document.cookie = 'learner=one; max-age=86400; path=/';
localStorage.setItem('learner', 'one');
addEventListener('keydown', (event) => console.log('keydown', event.key));
</script>)");
    const std::string nothingFound = console(R"(["found","",null])");
    launch();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(count("⏱️ Idle reset after 1 minutes"), 1);
    ASSERT_TRUE(waitForLine(nothingFound));
    const std::string main = window();
    const auto [width, height] = display();
    const auto countdownShown = [&] { return noticeAt(width / 2, 48); };
    ASSERT_TRUE(waitFor(countdownShown, "the countdown", 15));
    ASSERT_TRUE(press(main, "x"));
    EXPECT_TRUE(waitFor([&] { return !countdownShown(); }, "the countdown gone"));
    ASSERT_TRUE(waitForLine("⏱️ Starting over for the next learner", 1, false, 20));
    EXPECT_EQ(count(console(R"(["keydown","x"])")), 0);
    ASSERT_TRUE(waitFor([&] { return noticeAt(width / 2, height - 10); }, "the permission screen"));
    EXPECT_TRUE(fullScreen(main));
    ASSERT_TRUE(press(main, "Return"));
    EXPECT_TRUE(waitForLine(nothingFound, 2));
    EXPECT_EQ(count("🧹 Cache cleared"), 2);
}

// A lab computer's login session: the launcher starts weston's kiosk shell, which starts the
// client; a logout's SIGTERM ends the client, even over a page that never yields from its first
// line, and the session with it.
TEST_F(Lab, TheKioskSessionRunsTheLabInWestonUntilLogout) {
    server().page("/start.html",
                  "<!doctype html><script>console.log('spinning'); for (;;) {}</script>");
    ASSERT_TRUE(store("yes"));
    fs::copy_file(PELUNNA_SESSION_LAUNCHER, bin() / "pelunna-labs-session");
    fs::create_symlink(PELUNNA_E2E_CLIENT, bin() / "pelunna-labs");
    // On the X display: weston's headless backend has no keyboard for the permission screen.
    start({"env", "PELUNNA_LABS_COMPOSITOR=weston", bin() / "pelunna-labs-session",
           "--backend=x11-backend.so", "--use-pixman", "--socket=pelunna-session"});
    const std::string compositor = window("weston");
    // Nothing tells when the permission screen takes keys: Return until the lab appears.
    ASSERT_TRUE(waitFor(
        [&] { return press(compositor, "Return") && waitForLine(appearedLine, 1, false, 1); },
        "lab after Return"));
    EXPECT_TRUE(waitForLine(fullScreenLine));
    ASSERT_TRUE(waitForLine(console(R"(["spinning"])")));
    // To the client itself, past the stages that started it.
    ASSERT_TRUE(
        run("pkill -TERM -x -P " + std::to_string(processes().front()) + " pelunna-labs").ok());
    EXPECT_EQ(waitForExit(), 0);
    EXPECT_EQ(count(clearedLine), 1);
}

}  // namespace
}  // namespace pelunna::e2e
