#include <optional>

#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

using PageDialogTest = EngineFixture;

// Then it leaves, although it asks to stay: no dialog would hold a learner on a page.
TEST_F(PageDialogTest, EachDialogShowsThePagesTextAndThePageGetsTheLearnersAnswer) {
    server_.page("/", R"(<!doctype html><a href="/next">next</a><script>
        addEventListener("beforeunload", (event) => { event.preventDefault(); });
        console.log("ready");</script>)");
    server_.page("/next", R"(<script>console.log("next ready")</script>)");
    load(url("/"));
    SignalCount dialogs(WEBKIT_TYPE_WEB_VIEW, "script-dialog");
    const int ok = AlertResponse::firstButton;
    const std::vector<std::string> okCancel{"OK", "Cancel"};
    const struct {
        std::string question;
        std::string message;
        std::vector<std::string> buttons;
        std::optional<std::string> field;  // what the field starts with
        int answer;
        std::string typed;
        std::string pageGets;
    } rows[] = {
        {"alert('வணக்கம் 🎤\\nline two')", "வணக்கம் 🎤\nline two", {"OK"}, std::nullopt, ok, "", "null"},
        {"confirm('Leave?')", "Leave?", okCancel, std::nullopt, ok, "", "true"},
        {"confirm('Leave?')", "Leave?", okCancel, std::nullopt, ok + 1, "", "false"},
        {"prompt('Your name?', 'abc')", "Your name?", okCancel, "abc", ok, "", R"("")"},
        {"prompt('Your name?', 'abc')", "Your name?", okCancel, "abc", ok + 1, "typed", "null"},
        {"prompt('Your name?')", "Your name?", okCancel, "", ok, "தமிழ்", R"("தமிழ்")"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.question);
        const std::size_t i = alerts_.shown.size();
        const std::string ask = "console.log('answer', " + row.question + ");";
        webkit_web_view_evaluate_javascript(webKitView(), ask.c_str(), -1, nullptr, nullptr,
                                            nullptr, nullptr, nullptr);
        ASSERT_TRUE(runUntil([&] { return alerts_.shown.size() > i; }));
        EXPECT_EQ(alerts_.shown[i].messageText, row.message);
        EXPECT_EQ(alerts_.shown[i].buttons, row.buttons);
        EXPECT_EQ(alerts_.shown[i].textFieldValue, row.field);
        const std::string answer = consoleLine(R"(["answer",)" + row.pageGets + "]");
        const int before = count(answer);
        alerts_.answers.at(i)(AlertResponse{row.answer, row.typed});
        EXPECT_TRUE(waitForLine(answer, before + 1));
    }

    // The engine asks only for a page the user has used; the scripts above count as use.
    call("document.querySelector('a').click();");
    ASSERT_TRUE(waitForLine(consoleLine(R"(["next ready"])")));
    EXPECT_EQ(dialogs.value, 7) << "the engine never asked";
    EXPECT_EQ(alerts_.shown.size(), 6U);
}

}  // namespace
}  // namespace pelunna::test
