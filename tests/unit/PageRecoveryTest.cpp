#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Fakes.hpp"
#include "web/WebView.hpp"

namespace pelunna::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const std::string startUrl = "https://lab.pelunnalabs.com/start";
const std::string lesson = "https://lab.pelunnalabs.com/lesson";

// The web view on a fake engine, with what a learner and the page's process do to it.
struct Page {
    void show(const std::string& url) {
        engine.view->shownUrl = url;
        engine.delegate->didCommitNavigation(*engine.view);
    }
    void crash() {
        engine.delegate->webProcessDidTerminate(*engine.view, ProcessTermination::crashed);
    }
    void pressReload() { view.update(1.0, refresh = !refresh); }
    EngineView* popup() {
        return engine.delegate->createWebView(*engine.view, {parseUrl(lesson + "/popup"), false});
    }
    // Engine calls since the last call.
    Journal calls() {
        Journal since(engine.journal.begin() + static_cast<long>(seen), engine.journal.end());
        seen = engine.journal.size();
        return since;
    }

    FakeEngine engine;
    FakeServices services;
    web::WebView view{engine, services.web(), FakeServices::service(startUrl)};
    bool refresh = false;
    std::size_t seen = 0;
};

TEST(PageRecovery, CrashesReloadTheLastPageThriceAMinuteThenWaitForTheLearner) {
    Page page;
    page.show(lesson);
    for (int death = 1; death <= 3; ++death) {
        // One death, reported by a popup first, counts once and closes every popup.
        EngineView* popup = page.popup();
        page.popup();
        page.calls();
        page.engine.delegate->webProcessDidTerminate(*popup, ProcessTermination::crashed);
        page.crash();
        // A plain request: a form the learner sent must not be sent again.
        EXPECT_THAT(page.calls(), ElementsAre("load " + lesson)) << death;
        EXPECT_EQ(page.view.coordinator().openPopupCount(), 0u);
        page.services.queue.advance(10);
    }
    page.crash();
    EXPECT_THAT(page.calls(), IsEmpty());
    EXPECT_EQ(page.services.log.lines.back(), "❌ Not reloading again after 3 crashes in 60 s");
    EXPECT_EQ(page.engine.view->notice, "The lab stopped working. Press Ctrl+R to try again.");

    // Ctrl+R brings the page back, hides the notice and starts the budget over.
    page.pressReload();
    EXPECT_THAT(page.calls(), ElementsAre("load " + lesson + " ignoring cache"));
    EXPECT_EQ(page.engine.view->notice, std::nullopt);
    for (int death = 1; death <= 4; ++death) {
        page.crash();
    }
    EXPECT_EQ(page.calls().size(), 3u);

    // Deaths a minute old no longer count.
    page.pressReload();
    page.calls();
    page.crash();
    page.crash();
    page.services.queue.advance(30);
    page.crash();
    page.services.queue.advance(30.5);
    page.crash();
    EXPECT_EQ(page.calls().size(), 4u);
}

// The cache removal starts first and nothing waits for it; until a page is shown, the start
// page is what comes back.
TEST(PageRecovery, BeforeAnyPageWasShownTheStartPageIsLoadedAgain) {
    Page page;
    const std::string start = "load " + startUrl + " 60";
    EXPECT_THAT(page.calls(), ElementsAre("remove caches", "make view", start + " ignoring cache"));
    page.crash();
    EXPECT_THAT(page.calls(), ElementsAre(start));
    page.pressReload();
    EXPECT_THAT(page.calls(), ElementsAre(start + " ignoring cache"));
    EXPECT_EQ(page.services.log.lines.size(), 2u);
    page.engine.removals.at(0)();
    EXPECT_EQ(page.services.log.lines.back(), "🧹 Cache cleared");
}

TEST(PageRecovery, QuitEndsEveryPageProcessAndIgnoresTheirEnd) {
    Page page;
    page.show(lesson);
    EngineView* popup = page.popup();
    page.calls();
    const std::size_t lines = page.services.log.lines.size();
    page.view.endPageProcesses();
    page.engine.delegate->webProcessDidTerminate(*popup, ProcessTermination::endedByClient);
    page.engine.delegate->webProcessDidTerminate(*page.engine.view,
                                                 ProcessTermination::endedByClient);
    EXPECT_THAT(page.calls(), ElementsAre("terminate", "terminate"));
    EXPECT_EQ(page.services.log.lines.size(), lines);
}

// A hung page is ended only when the learner asked for a reload it cannot take, and never
// while one of its dialogs waits for the learner.
TEST(PageRecovery, AHungPageIsEndedOnlyRightAfterCtrlRAndWithoutADialog) {
    // Ctrl+R pressed, a dialog open, hung so long after (below zero: before) Ctrl+R, engine calls.
    const std::tuple<bool, bool, double, std::string> rows[] = {
        {true, false, 1.0, "reload terminate"},
        {true, false, 5.0, "reload terminate"},
        {true, false, 5.5, "reload"},
        {true, true, 1.0, "reload"},
        {false, false, 1.0, ""},
        {true, false, -1, "terminate"},
    };
    for (const auto& [pressReload, dialogOpen, hangsAfter, expected] : rows) {
        Page page;
        page.show(lesson);
        page.calls();
        if (dialogOpen) {
            page.engine.delegate->runJavaScriptAlertPanel("wait", [] {});
        }
        page.engine.view->responsive = hangsAfter > 0;
        if (pressReload) {
            page.pressReload();
        }
        if (hangsAfter > 0) {
            page.services.queue.advance(hangsAfter);
            page.engine.view->responsive = false;
            page.engine.delegate->webProcessResponsivenessDidChange(*page.engine.view, false);
        }
        std::string calls;
        for (const std::string& call : page.calls()) {
            calls += (calls.empty() ? "" : " ") + call;
        }
        EXPECT_EQ(calls, expected) << hangsAfter;
    }
}

}  // namespace
}  // namespace pelunna::test
