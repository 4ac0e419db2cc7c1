#include <algorithm>
#include <cmath>
#include <string>

#include "ClientFixture.hpp"

namespace pelunna::e2e {
namespace {

constexpr const char* appearedLine = "🌐 WebView appeared, entering fullscreen...";
constexpr const char* enteringLine = "🖥️ Entering fullscreen, styleMask: 32779";
constexpr const char* refusedExitLine = "⚠️ windowWillExitFullScreen, allowExit: false";
constexpr const char* escapeLine = "🔴 ESCAPE KEY PRESSED IN SWIFT";
constexpr const char* drawingOnCpuLine = "🎨 Drawing on the CPU: ";

std::string console(const std::string& json) {
    return std::string(consolePrefix) + json;
}

// Reports the layout viewport whenever it changes: page zoom shows in its width.
constexpr const char* interactivePage = R"(<!doctype html>
<meta charset="utf-8">
<body style="margin:0">
<script>
let viewport = '';
function report() {
    if (viewport !== innerWidth + 'x' + innerHeight) {
        viewport = innerWidth + 'x' + innerHeight;
        console.log('viewport', innerWidth, innerHeight);
    }
}
report();
setInterval(report, 100);
document.addEventListener('keydown', (event) => console.log('keydown', event.key));
console.log('ready', 42, {lang: 'தமிழ்', path: 'a\\b'});
</script>
)";

class Kiosk : public Client {
protected:
    void SetUp() override {
        Client::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        server().page("/start.html", interactivePage);
    }

    // Launches, waits for full screen and returns the client's window.
    std::string launchToFullScreen() {
        launch();
        EXPECT_TRUE(waitForLine(enterFullscreenLine));
        const std::string window = windowId();
        EXPECT_TRUE(waitForFullScreen(window));
        return window;
    }

    // The viewport width the page reported last, or -1.
    int reportedWidth() const {
        const std::string prefix = console("[\"viewport\",");
        for (auto line = lines().rbegin(); line != lines().rend(); ++line) {
            if (line->starts_with(prefix)) {
                return std::stoi(line->substr(prefix.size()));
            }
        }
        return -1;
    }

    ::testing::AssertionResult waitForWidth(double expected, double tolerance) {
        const bool reached = test::runUntil(
            [&] { return std::abs(reportedWidth() - expected) <= tolerance; }, deadlineSeconds);
        if (reached) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "the page reports width " << reportedWidth() << ", expected about " << expected;
    }
};

TEST_F(Kiosk, OpensTheStartPageInFullScreen) {
    const std::string window = launchToFullScreen();
    ASSERT_FALSE(HasFailure());

    // Tamil text and the backslash pass through the log unescaped.
    ASSERT_TRUE(waitForLine(console(R"(["ready",42,{"lang":"தமிழ்","path":"a\\b"}])")));
    const auto& requests = server().requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().path, "/start.html");
    EXPECT_NE(requests.front().userAgent.find("PelunnaLabs/1.0"), std::string::npos)
        << requests.front().userAgent;

    // Xvfb offers no hardware GL: the client chose the CPU by itself, once, before anything else.
    EXPECT_EQ(find(drawingOnCpuLine, 1, Match::prefix), 0U) << describeLines(lines());
    EXPECT_EQ(count(drawingOnCpuLine, Match::prefix), 1);
    const auto appeared = find(appearedLine);
    const auto entering = find(enteringLine);
    const auto entered = find(enterFullscreenLine);
    ASSERT_TRUE(appeared && entering && entered) << describeLines(lines());
    EXPECT_LT(*appeared, *entering);
    EXPECT_LT(*entering, *entered);
    EXPECT_EQ(count(enteringLine), 1);

    const auto screen = screenGeometry();
    const auto frame = geometry(window);
    ASSERT_TRUE(screen && frame);
    EXPECT_EQ(frame->x, 0);
    EXPECT_EQ(frame->y, 0);
    EXPECT_EQ(frame->width, screen->width);
    EXPECT_EQ(frame->height, screen->height);
    // The page itself, not only the window, covers the screen: no frame around it.
    EXPECT_TRUE(waitForLine(console("[\"viewport\"," + std::to_string(screen->width) + "," +
                                    std::to_string(screen->height) + "]")));
}

TEST_F(Kiosk, UndoesAnExitFromFullScreen) {
    const std::string window = launchToFullScreen();
    ASSERT_FALSE(HasFailure());

    const ToolResult exit = run({"wmctrl", "-i", "-r", window, "-b", "remove,fullscreen"});
    ASSERT_TRUE(exit.finished && exit.exitStatus == 0) << exit.err;
    ASSERT_TRUE(waitForLine(refusedExitLine));
    ASSERT_TRUE(waitForLine(enterFullscreenLine, 2));
    EXPECT_LT(*find(refusedExitLine), *find(enterFullscreenLine, 2));
    EXPECT_TRUE(waitForFullScreen(window));

    const auto screen = screenGeometry();
    const auto frame = geometry(window);
    ASSERT_TRUE(screen && frame);
    EXPECT_EQ(frame->width, screen->width);
    EXPECT_EQ(frame->height, screen->height);
    // The lock re-enters once; it must not bounce.
    EXPECT_EQ(count(refusedExitLine), 1);
    EXPECT_EQ(count(enteringLine), 1);
}

TEST_F(Kiosk, ShortcutsZoomReloadAndPassEscapeOn) {
    const std::string window = launchToFullScreen();
    ASSERT_FALSE(HasFailure());
    const auto screen = screenGeometry();
    ASSERT_TRUE(screen);
    // Windowed, the title bar and the window's frame take some pixels; whether the full-screen
    // page covers every last one is checked at start.
    ASSERT_TRUE(waitForWidth(screen->width, 2));
    const double width = reportedWidth();

    // Zoom steps of 0.1 around 1.0, each undone by Ctrl+0. The viewport's CSS width is a whole
    // number: within 1 of the exact quotient.
    ASSERT_TRUE(pressKeys(window, {"ctrl+equal"}));
    EXPECT_TRUE(waitForWidth(width / 1.1, 1));
    ASSERT_TRUE(pressKeys(window, {"ctrl+0"}));
    EXPECT_TRUE(waitForWidth(width, 0));
    ASSERT_TRUE(pressKeys(window, {"ctrl+minus"}));
    EXPECT_TRUE(waitForWidth(width / 0.9, 1));
    ASSERT_TRUE(pressKeys(window, {"ctrl+0"}));
    EXPECT_TRUE(waitForWidth(width, 0));

    // Escape is logged, then reaches the page. The page leaves it unhandled, so the engine hands
    // it back to the window: still one line per press. The key after it orders the check.
    const std::string pageEscape = console(R"(["keydown","Escape"])");
    const std::string pageX = console(R"(["keydown","x"])");
    ASSERT_TRUE(pressKeys(window, {"Escape"}));
    ASSERT_TRUE(waitForLine(pageEscape));
    ASSERT_TRUE(waitForLine(escapeLine));
    EXPECT_LT(*find(escapeLine), *find(pageEscape));
    ASSERT_TRUE(pressKeys(window, {"Escape", "x"}));
    ASSERT_TRUE(waitForLine(pageX));
    EXPECT_EQ(count(escapeLine), 2);
    EXPECT_EQ(count(pageEscape), 2);

    // Ctrl+Shift+R is "R", not "r": the page gets it and nothing reloads.
    const std::string ready = console(R"(["ready",42,{"lang":"தமிழ்","path":"a\\b"}])");
    ASSERT_TRUE(waitForLine(ready));
    ASSERT_TRUE(pressKeys(window, {"ctrl+shift+r"}));
    ASSERT_TRUE(waitForLine(console(R"(["keydown","R"])")));
    ASSERT_TRUE(pressKeys(window, {"ctrl+r"}));
    ASSERT_TRUE(waitForLine("🔄 Refresh triggered"));
    ASSERT_TRUE(waitForLine("🔄 Reloading from origin..."));
    EXPECT_LT(*find("🔄 Refresh triggered"), *find("🔄 Reloading from origin..."));
    ASSERT_TRUE(waitForLine(ready, 2));
    EXPECT_EQ(server().hits("/start.html"), 2);
    EXPECT_EQ(count("🔄 Refresh triggered"), 1);
    const auto& requests = server().requests();
    const auto reload = std::find_if(requests.rbegin(), requests.rend(), [](const auto& request) {
        return request.path == "/start.html";
    });
    ASSERT_NE(reload, requests.rend());
    EXPECT_NE(reload->cacheControl.find("no-cache"), std::string::npos) << reload->cacheControl;
}

}  // namespace
}  // namespace pelunna::e2e
