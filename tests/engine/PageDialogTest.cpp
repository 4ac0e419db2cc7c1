#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "NavigationFixture.hpp"

namespace pelunna::test {
namespace {

// Alerts that stay up until the test answers them, as a learner would, from the main loop.
class HeldAlerts final : public Alerts {
public:
    void runModal(const AlertSpec& alert, std::function<void(const AlertResponse&)> done) override {
        shown.push_back(alert);
        pending.push_back(std::move(done));
    }
    // Presses the button (0 the first) or, with a code outside the buttons, closes the alert
    // another way; the field holds the text.
    void answer(std::size_t index, int code, std::string text = "") {
        auto done = std::exchange(pending.at(index), nullptr);
        ASSERT_TRUE(done) << "alert " << index << " was answered already";
        done(AlertResponse{code, std::move(text)});
    }
    void press(std::size_t index, int button, std::string text = "") {
        answer(index, AlertResponse::firstButton + button, std::move(text));
    }

    std::vector<AlertSpec> shown;
    std::vector<std::function<void(const AlertResponse&)>> pending;
};

class PageDialogTest : public NavigationFixture {
protected:
    PageDialogTest() {
        alerts_ = &held_;
        server_.page("/", R"(<!doctype html><script>console.log("ready")</script>)");
    }

    // Starts page code that asks something and logs the answer, then waits for the dialog.
    bool ask(const std::string& question) {
        const std::size_t before = held_.shown.size();
        start("console.log('answer', " + question + ");");
        return runUntil([&] { return held_.shown.size() > before; });
    }
    [[nodiscard]] int answers() const {
        return static_cast<int>(consoleLines(R"(["answer")").size());
    }
    [[nodiscard]] std::string lastAnswer() const {
        const std::vector<std::string> lines = consoleLines(R"(["answer")");
        return lines.empty() ? "" : lines.back();
    }
    bool waitForAnswers(int expected) {
        return runUntil([&] { return answers() >= expected; });
    }

    HeldAlerts held_;
};

std::string answered(const std::string& json) {
    return consoleLine(R"(["answer",)" + json + "]");
}

TEST_F(PageDialogTest, AnAlertShowsThePagesMessageAndThePageGoesOnOnceDismissed) {
    load(url("/"));

    ASSERT_TRUE(ask("alert('')"));
    ASSERT_EQ(held_.shown.size(), 1U);
    EXPECT_EQ(held_.shown[0].messageText, "");
    EXPECT_EQ(held_.shown[0].informativeText, "");
    EXPECT_EQ(held_.shown[0].buttons, std::vector<std::string>{"OK"});
    EXPECT_FALSE(held_.shown[0].textFieldValue.has_value());

    held_.press(0, 0);
    ASSERT_TRUE(waitForAnswers(1));
    EXPECT_EQ(lastAnswer(), answered("null"));

    // The message reaches the alert as the page wrote it.
    ASSERT_TRUE(ask("alert('வணக்கம் 🎤\\nline two\\t\"quoted\"')"));
    EXPECT_EQ(held_.shown[1].messageText, "வணக்கம் 🎤\nline two\t\"quoted\"");
    held_.press(1, 0);
    ASSERT_TRUE(waitForAnswers(2));
    EXPECT_EQ(held_.shown.size(), 2U);
}

TEST_F(PageDialogTest, AConfirmIsTrueOnlyForOk) {
    load(url("/"));
    const std::vector<std::pair<int, std::string>> cases = {
        {AlertResponse::firstButton, "true"},
        {AlertResponse::firstButton + 1, "false"},
        // Closed by the window manager.
        {-4, "false"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        ASSERT_TRUE(ask("confirm('Leave the exercise?')"));
        EXPECT_EQ(held_.shown[i].messageText, "Leave the exercise?");
        EXPECT_EQ(held_.shown[i].buttons, (std::vector<std::string>{"OK", "Cancel"}));
        EXPECT_FALSE(held_.shown[i].textFieldValue.has_value());
        held_.answer(i, cases[i].first);
        ASSERT_TRUE(waitForAnswers(static_cast<int>(i) + 1));
        EXPECT_EQ(lastAnswer(), answered(cases[i].second)) << "answer " << cases[i].first;
    }
    EXPECT_EQ(held_.shown.size(), cases.size());
}

TEST_F(PageDialogTest, APromptGivesTheFieldOnOkAndNullOtherwise) {
    load(url("/"));
    struct Case {
        std::string question;
        std::optional<std::string> field;  // what the field starts with
        int button;
        std::string typed;
        std::string pageGets;
    };
    const std::vector<Case> cases = {
        {"prompt('Your name?', 'abc')", "abc", 0, "abc", R"("abc")"},
        {"prompt('Your name?', 'abc')", "abc", 0, "", R"("")"},
        {"prompt('Your name?', 'abc')", "abc", 1, "typed anyway", "null"},
        {"prompt('Your name?')", "", 0, "தமிழ் learner", R"("தமிழ் learner")"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& promptCase = cases[i];
        SCOPED_TRACE(promptCase.question + " answered with " + promptCase.typed);
        ASSERT_TRUE(ask(promptCase.question));
        const AlertSpec& shown = held_.shown[i];
        EXPECT_EQ(shown.messageText, "Your name?");
        EXPECT_EQ(shown.buttons, (std::vector<std::string>{"OK", "Cancel"}));
        EXPECT_EQ(shown.textFieldValue, promptCase.field);
        held_.press(i, promptCase.button, promptCase.typed);
        ASSERT_TRUE(waitForAnswers(static_cast<int>(i) + 1));
        EXPECT_EQ(lastAnswer(), answered(promptCase.pageGets));
    }
}

TEST_F(PageDialogTest, APopupsDialogsComeToTheSameAlertsAndItsPageGetsTheAnswer) {
    server_.page("/popup", R"(<!doctype html><script>console.log("popup ready")</script>)");
    load(url("/"));
    const std::string popupUrl = url("/popup", mediaHost);
    ASSERT_EQ(call("return window.open('" + popupUrl + "') !== null;"), "true");
    ASSERT_TRUE(waitForLine(consoleLine(R"(["popup ready"])")));
    ASSERT_EQ(popupViews().size(), 1U);
    WebKitWebView* popup = popupViews()[0];

    webkit_web_view_evaluate_javascript(
        popup, "console.log('answer', confirm('Submit the recording?'), location.host);", -1,
        nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(runUntil([&] { return held_.shown.size() == 1; }));
    EXPECT_EQ(held_.shown[0].messageText, "Submit the recording?");
    EXPECT_EQ(held_.shown[0].buttons, (std::vector<std::string>{"OK", "Cancel"}));

    held_.press(0, 0);
    ASSERT_TRUE(waitForAnswers(1));
    const std::string popupHost = std::string(mediaHost) + ":" + std::to_string(server_.port());
    EXPECT_EQ(lastAnswer(), consoleLine(R"(["answer",true,")" + popupHost + "\"]"));
    // The popup is still there and its opener untouched.
    EXPECT_EQ(popupViews().size(), 1U);
    EXPECT_TRUE(stillShows(url("/")));
}

TEST_F(PageDialogTest, LeavingAPageThatAsksToStayShowsNoDialog) {
    SignalRecorder dialogs("script-dialog");
    server_.page("/", R"(<!doctype html><a href="/next">next</a><script>
        addEventListener("beforeunload", (event) => {
            event.preventDefault();
            event.returnValue = "Your recording is not saved.";
        });
        console.log("ready");
    </script>)");
    server_.page("/next", R"(<!doctype html><script>console.log("next ready")</script>)");
    load(url("/"));

    // The engine asks only for a page the user has used; a script the test runs counts as use.
    call("document.querySelector('a').click();");
    ASSERT_TRUE(waitForLine(consoleLine(R"(["next ready"])")));

    ASSERT_EQ(dialogs.emissions().size(), 1U) << "the engine never asked";
    EXPECT_EQ(dialogs.emissions()[0].kind, WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM);
    EXPECT_EQ(held_.shown.size(), 0U);
}

}  // namespace
}  // namespace pelunna::test
