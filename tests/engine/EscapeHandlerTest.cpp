#include <algorithm>
#include <string>
#include <vector>

#include "EngineFixture.hpp"

// After gtest: Xlib defines macros (None, Bool) that clash with its names.
#include <gdk/x11/gdkx.h>

namespace pelunna::test {
namespace {

const std::string loaded = consoleLine(R"(["🔧 Escape Handler Loaded"])");
const std::string handlerReady = consoleLine(R"(["✅ Escape Handler Ready"])");
const std::string escapeNoHash = consoleLine(R"(["🔴 Escape in WebView! Hash:",""])");
const std::string buttonClicked = consoleLine(R"(["✅ Button clicked"])");
const std::string goingBack = consoleLine(R"(["🔙 Hash detected, going back"])");
const std::string classesRemoved = consoleLine(R"(["🔧 Removed fullscreen classes"])");

std::string clicking(const std::string& selectorJson, const std::string& text) {
    return consoleLine(R"(["🖱️ Clicking button:",)" + selectorJson + ",\"" + text + "\"]");
}

// An Escape key-down as a script would send it, to the body so that it passes the document in
// the capture phase; answers whether the page left its default action alone.
const std::string dispatchEscape =
    "return document.body.dispatchEvent(new KeyboardEvent('keydown',"
    "    {key: 'Escape', keyCode: 27, bubbles: true, cancelable: true}));";

// Records what reaches the page's own listeners after the handler, in the bubbling phase.
const std::string pageListener = R"(<script>
    window.bubbled = [];
    window.clicked = [];
    document.addEventListener("keydown", (e) => bubbled.push([e.key, e.defaultPrevented]));
    console.log("ready");
</script>)";

class EscapeHandlerTest : public EngineFixture {
protected:
    void openPage(const std::string& body, const std::string& path = "/") {
        server_.page(path, "<!doctype html><html><body>" + body + pageListener + "</body></html>");
        open(url(path));
        ASSERT_TRUE(waitForLine(handlerReady));
    }

    // The handler's lines from the Escape press on; the load lines come before it.
    [[nodiscard]] std::vector<std::string> linesFromEscape() const {
        std::vector<std::string> lines = consoleLines();
        const auto escape = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.starts_with(consoleLine(R"(["🔴 Escape in WebView!)"));
        });
        return {escape, lines.end()};
    }

    // Why keys cannot be pressed through the X server here; empty when they can.
    [[nodiscard]] static std::string keyboardUnavailable() {
        if (!GDK_IS_X11_DISPLAY(gdk_display_get_default())) {
            return "the key is sent through the X server";
        }
        char* xdotool = g_find_program_in_path("xdotool");
        g_free(xdotool);
        return xdotool == nullptr ? "xdotool is not installed" : "";
    }

    // Presses the key on the X server with the web view focused, as the learner would.
    void pressKey(const char* key) {
        GtkWidget* view = GTK_WIDGET(webKitView());
        gtk_widget_grab_focus(view);
        ASSERT_TRUE(runUntil([&] { return gtk_window_is_active(window_) != FALSE; }))
            << "the window never got the keyboard";
        ASSERT_TRUE(runUntil([&] { return gtk_widget_has_focus(view) != FALSE; }));
        ASSERT_TRUE(runUntil([&] { return call("return document.hasFocus();") == "true"; }))
            << "the page never got the keyboard";

        const char* argv[] = {"xdotool", "key", key, nullptr};
        GError* error = nullptr;
        gint status = 0;
        const bool pressed =
            g_spawn_sync(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                         nullptr, nullptr, nullptr, &status, &error) &&
            g_spawn_check_wait_status(status, &error);
        const std::string failure = error != nullptr ? error->message : "";
        g_clear_error(&error);
        ASSERT_TRUE(pressed) << "xdotool: " << failure;
    }
};

TEST_F(EscapeHandlerTest, EveryFrameGetsItsHandlerOnceItsDocumentIsParsed) {
    server_.page("/frame", R"(<!doctype html><script>console.log("frame parsed")</script>)");
    openPage("<iframe src=\"" + url("/frame", mediaHost) + "\"></iframe>");
    ASSERT_TRUE(waitForLine(handlerReady, 2));

    const std::string ready = consoleLine(R"(["ready"])");
    const std::string frameParsed = consoleLine(R"(["frame parsed"])");
    std::vector<std::string> lines = consoleLines();
    std::erase_if(lines, [&](const std::string& line) {
        return line != loaded && line != handlerReady && line != ready && line != frameParsed;
    });
    // Each frame's handler follows the last script of that frame's document; the page's script
    // runs before the frame has loaded, and either document may finish parsing first.
    const std::vector<std::string> mainFirst{ready,       loaded, handlerReady,
                                             frameParsed, loaded, handlerReady};
    const std::vector<std::string> frameFirst{ready,        frameParsed, loaded,
                                              handlerReady, loaded,      handlerReady};
    EXPECT_TRUE(lines == mainFirst || lines == frameFirst) << testing::PrintToString(lines);
}

TEST_F(EscapeHandlerTest, EscapeKeyClicksTheVisibleCloseSpanPastHiddenCloseButtons) {
    if (const std::string why = keyboardUnavailable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    openPage(R"html(
        <button class="dialog-close" style="display: none"
            onclick="clicked.push('display none')">x</button>
        <button class="close-round" style="visibility: hidden"
            onclick="clicked.push('visibility hidden')">x</button>
        <div style="display: none"><button class="close-inner"
            onclick="clicked.push('in a hidden box')">x</button></div>
        <span class="close" onclick="clicked.push('span')">Close lesson</span>)html");

    ASSERT_NO_FATAL_FAILURE(pressKey("Escape"));

    ASSERT_TRUE(waitForLine(buttonClicked));
    EXPECT_EQ(linesFromEscape(),
              (std::vector<std::string>{escapeNoHash, clicking(R"(".close")", "Close lesson"),
                                        buttonClicked}));
    EXPECT_EQ(call("return clicked;"), R"(["span"])");
    EXPECT_EQ(call("return bubbled;"), "[]") << "the page saw the Escape that closed its overlay";
}

TEST_F(EscapeHandlerTest, LinkToAnEmptyFragmentIsClickedBeforeModalAndCloseClasses) {
    openPage(R"html(
        <div class="modal-close" onclick="clicked.push('modal-close')">Dismiss</div>
        <span class="close" onclick="clicked.push('close')">Close</span>
        <a href="#top" onclick="clicked.push('other fragment'); return false">Top</a>
        <a href="#" onclick="clicked.push('link'); return false">Back to lesson</a>)html");

    EXPECT_EQ(call(dispatchEscape), "false") << "the default action was left alone";

    ASSERT_TRUE(waitForLine(buttonClicked));
    EXPECT_EQ(linesFromEscape(),
              (std::vector<std::string>{
                  escapeNoHash, clicking(R"("a[href=\"#\"]")", "Back to lesson"), buttonClicked}));
    EXPECT_EQ(call("return clicked;"), R"(["link"])");
}

TEST_F(EscapeHandlerTest, WithoutAControlAFragmentAddressGoesBackOneEntry) {
    openPage(R"html(<p class="lesson">No overlay here.</p>)html", "/lesson");
    call("location.hash = 'unit/2';");
    ASSERT_EQ(call("return [location.hash, history.length];"), R"(["#unit/2",2])");

    EXPECT_EQ(call(dispatchEscape), "false");

    ASSERT_TRUE(waitForLine(goingBack));
    EXPECT_TRUE(runUntil([&] {
        return call("return location.href;") == "\"" + url("/lesson") + "\"";
    })) << call("return location.href;");
    EXPECT_EQ(linesFromEscape(),
              (std::vector<std::string>{consoleLine(R"(["🔴 Escape in WebView! Hash:","#unit/2"])"),
                                        goingBack}));
    // Only the default action is withheld: the page still hears the key.
    EXPECT_EQ(call("return bubbled;"), R"([["Escape",true]])");
}

TEST_F(EscapeHandlerTest, EscapeKeyAsLastResortStripsFullScreenClassesAndReachesThePage) {
    if (const std::string why = keyboardUnavailable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    server_.page("/", R"(<!doctype html><html class="fullscreen maximized theme-dark">
        <body class="fullscreen maximized modal-open lesson">)" +
                          pageListener + "</body></html>");
    open(url("/"));
    ASSERT_TRUE(waitForLine(handlerReady));

    ASSERT_NO_FATAL_FAILURE(pressKey("Escape"));

    ASSERT_TRUE(waitForLine(classesRemoved));
    EXPECT_EQ(linesFromEscape(), (std::vector<std::string>{escapeNoHash, classesRemoved}));
    EXPECT_EQ(call("return [document.documentElement.className, document.body.className];"),
              R"(["theme-dark","lesson"])");
    EXPECT_EQ(call("return bubbled;"), R"([["Escape",false]])");
}

TEST_F(EscapeHandlerTest, OnlyEscapeByKeyNameOrKeyCodeIsHandled) {
    openPage(R"html(<span class="close" onclick="clicked.push('close')">Close</span>)html");

    EXPECT_EQ(call(R"(
        const send = (init) => document.body.dispatchEvent(
            new KeyboardEvent("keydown", {bubbles: true, cancelable: true, ...init}));
        const results = [send({key: "Enter", keyCode: 13}), send({key: "a", keyCode: 65}),
                         send({key: "Esc", keyCode: 0}), send({key: "F1", keyCode: 112})];
        document.body.dispatchEvent(new KeyboardEvent("keyup", {key: "Escape", keyCode: 27}));
        console.log("other keys sent");
        return [results, clicked.length];)"),
              "[[true,true,true,true],0]");
    ASSERT_TRUE(waitForLine(consoleLine(R"(["other keys sent"])")));
    EXPECT_EQ(linesFromEscape(), std::vector<std::string>{});

    // Either half of the test is enough on its own.
    EXPECT_EQ(call(R"(
        const send = (init) => document.body.dispatchEvent(
            new KeyboardEvent("keydown", {bubbles: true, cancelable: true, ...init}));
        return [send({key: "Escape"}), send({key: "Unidentified", keyCode: 27}), clicked.length];)"),
              "[false,false,2]");
}

TEST_F(EscapeHandlerTest, ThrowingClickHandlerStillCountsAsTheClick) {
    openPage(R"html(
        <span class="close" onclick="clicked.push('close'); throw new Error('handler broke')">
            Close</span>
        <div class="close" onclick="clicked.push('second close')">Close too</div>
        <script>
            window.reported = [];
            addEventListener("error", (e) => reported.push(e.message));
        </script>)html");

    EXPECT_EQ(call(dispatchEscape), "false");
    EXPECT_EQ(call(dispatchEscape), "false") << "the handler stopped working";

    ASSERT_TRUE(waitForLine(buttonClicked, 2));
    EXPECT_EQ(call("return clicked;"), R"(["close","close"])");
    EXPECT_EQ(call("return reported.length;"), "2");
    EXPECT_EQ(count(consoleLine(R"(["Error clicking button:",{}])")), 0);
    EXPECT_EQ(count(classesRemoved), 0) << "the scan went past the click";
}

TEST_F(EscapeHandlerTest, ControlThatFailsToClickIsLoggedAndTheNextSelectorIsTried) {
    openPage(R"html(
        <button class="dialog-close" onclick="clicked.push('button')">x</button>
        <span class="close" onclick="clicked.push('span')">Close</span>
        <script>
            document.querySelector("button").click = () => { throw new Error("detached"); };
        </script>)html");

    EXPECT_EQ(call(dispatchEscape), "false");

    ASSERT_TRUE(waitForLine(buttonClicked));
    EXPECT_EQ(linesFromEscape(), (std::vector<std::string>{
                                     escapeNoHash, clicking(R"("button[class*=\"close\"]")", "x"),
                                     consoleLine(R"(["Error clicking button:",{}])"),
                                     clicking(R"(".close")", "Close"), buttonClicked}));
    EXPECT_EQ(call("return clicked;"), R"(["span"])");
}

}  // namespace
}  // namespace pelunna::test
