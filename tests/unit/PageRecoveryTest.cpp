#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Fakes.hpp"
#include "ports/Url.hpp"
#include "web/WebView.hpp"

namespace pelunna::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const std::string startUrl = "https://lab.pelunnalabs.com/start";
const std::string lessonUrl = "https://lab.pelunnalabs.com/lesson";
const std::string crashedLine = "❌ Web content process terminated: crashed";
const std::string givenUpLine = "❌ Not reloading again after 3 crashes in 60 s";
const std::string notice = "The lab stopped working. Press Ctrl+R to try again.";

// The web view on a fake engine, with what a learner does to it.
class PageRecoveryJourney : public testing::Test {
protected:
    void show(const std::string& url) {
        engine.view->shownUrl = url;
        engine.delegate->didCommitNavigation(*engine.view);
    }
    void crash() {
        engine.delegate->webProcessDidTerminate(*engine.view, ProcessTermination::crashed);
    }
    void pressReload() {
        refresh = !refresh;
        view.update(1.0, refresh);
    }
    // Journal entries since the last call, without the view's making.
    std::vector<std::string> calls() {
        std::vector<std::string> since(engine.journal.begin() + static_cast<long>(seen),
                                       engine.journal.end());
        seen = engine.journal.size();
        return since;
    }
    std::vector<std::string> linesSince(std::size_t from) const {
        return {log.lines.begin() + static_cast<long>(from), log.lines.end()};
    }

    FakeEngine engine;
    FakeServices services;
    RecordingLog& log = services.log;
    web::WebView view{engine, services.web(), FakeServices::service(startUrl)};
    bool refresh = false;
    std::size_t seen = 3;  // cache removal, view, start load
};

TEST_F(PageRecoveryJourney, CrashesReloadTheLastPageThriceAMinuteThenWaitForTheLearner) {
    show(lessonUrl);
    EngineView* popup = engine.delegate->createWebView(
        *engine.view, {parseUrl("https://lab.pelunnalabs.com/popup"), false});
    ASSERT_NE(popup, nullptr);
    calls();

    for (int death = 1; death <= 3; ++death) {
        crash();
        // A plain request: neither the cache-ignoring reload nor a resubmitted form.
        EXPECT_THAT(calls(), ElementsAre("load " + lessonUrl)) << death;
        EXPECT_EQ(view.coordinator().openPopupCount(), 0u);
        services.queue.advance(10);
    }
    const std::size_t mark = log.lines.size();
    crash();
    EXPECT_THAT(calls(), IsEmpty());
    EXPECT_THAT(linesSince(mark), ElementsAre(crashedLine, givenUpLine));
    EXPECT_EQ(engine.view->notice, notice);

    // Ctrl+R brings the page back, hides the notice and starts the budget over.
    pressReload();
    EXPECT_THAT(calls(), ElementsAre("load " + lessonUrl + " ignoring cache"));
    EXPECT_EQ(engine.view->notice, std::nullopt);
    for (int death = 1; death <= 3; ++death) {
        crash();
        EXPECT_THAT(calls(), ElementsAre("load " + lessonUrl)) << death;
    }
    crash();
    EXPECT_THAT(calls(), IsEmpty());

    // Deaths older than a minute no longer count.
    pressReload();
    calls();
    crash();
    crash();
    services.queue.advance(30);
    crash();
    services.queue.advance(30.5);
    crash();
    EXPECT_EQ(calls().size(), 4u);
}

TEST_F(PageRecoveryJourney, BeforeAnyPageWasShownTheStartPageIsLoadedAgain) {
    crash();
    EXPECT_THAT(calls(), ElementsAre("load " + startUrl + " 60"));
    // The start load failed: Ctrl+R asks for the start page, not for a reload of nothing.
    pressReload();
    EXPECT_THAT(calls(), ElementsAre("load " + startUrl + " 60 ignoring cache"));
}

TEST_F(PageRecoveryJourney, OneDeathReportedByEveryViewCountsOnce) {
    show(lessonUrl);
    EngineView* popup = engine.delegate->createWebView(
        *engine.view, {parseUrl("https://lab.pelunnalabs.com/popup"), false});
    ASSERT_NE(popup, nullptr);
    const std::size_t mark = log.lines.size();
    calls();
    engine.delegate->webProcessDidTerminate(*popup, ProcessTermination::crashed);
    crash();
    EXPECT_THAT(calls(), ElementsAre("load " + lessonUrl));
    EXPECT_THAT(linesSince(mark), ElementsAre("✅ Popup closed", crashedLine));
}

TEST_F(PageRecoveryJourney, QuitEndsEveryPageProcessAndIgnoresTheirEnd) {
    show(lessonUrl);
    EngineView* popup = engine.delegate->createWebView(
        *engine.view, {parseUrl("https://lab.pelunnalabs.com/popup"), false});
    ASSERT_NE(popup, nullptr);
    const std::size_t mark = log.lines.size();
    calls();
    view.endPageProcesses();
    engine.delegate->webProcessDidTerminate(*engine.view, ProcessTermination::endedByClient);
    engine.delegate->webProcessDidTerminate(*popup, ProcessTermination::endedByClient);
    EXPECT_THAT(calls(), ElementsAre("terminate", "terminate"));
    EXPECT_THAT(linesSince(mark), IsEmpty());
}

// A hung page is ended only when the learner asked for a reload it cannot take.
TEST_F(PageRecoveryJourney, AnUnresponsivePageIsEndedOnlyRightAfterCtrlRAndWithoutADialog) {
    struct Row {
        const char* name;
        bool pressReload;
        bool dialogOpen;
        double secondsAfterReload;
        bool ended;
    };
    const Row rows[] = {
        {"hangs right after Ctrl+R", true, false, 1.0, true},
        {"hangs at the end of the window", true, false, 5.0, true},
        {"hangs long after Ctrl+R", true, false, 5.5, false},
        {"an alert waits for the learner", true, true, 1.0, false},
        {"nobody asked for a reload", false, false, 1.0, false},
    };
    for (const Row& row : rows) {
        FakeEngine rowEngine;
        FakeServices rowServices;
        web::WebView rowView(rowEngine, rowServices.web(), FakeServices::service(startUrl));
        rowEngine.view->shownUrl = lessonUrl;
        rowEngine.delegate->didCommitNavigation(*rowEngine.view);
        if (row.dialogOpen) {
            rowEngine.delegate->runJavaScriptAlertPanel("wait", [] {});
        }
        if (row.pressReload) {
            rowView.update(1.0, true);
        }
        rowServices.queue.advance(row.secondsAfterReload);
        rowEngine.view->responsive = false;
        rowEngine.delegate->webProcessResponsivenessDidChange(*rowEngine.view, false);
        EXPECT_EQ(rowEngine.count("terminate"), row.ended ? 1 : 0) << row.name;
    }
}

TEST_F(PageRecoveryJourney, CtrlROnAPageAlreadyHungEndsItInsteadOfQueueingAReload) {
    show(lessonUrl);
    engine.view->responsive = false;
    calls();
    pressReload();
    EXPECT_THAT(calls(), ElementsAre("terminate"));
    engine.delegate->webProcessDidTerminate(*engine.view, ProcessTermination::endedByClient);
    EXPECT_THAT(calls(), ElementsAre("load " + lessonUrl));
    EXPECT_EQ(log.lines.back(), "❌ Web content process terminated: ended by the client");
}

TEST(CertificateFailure, IsOneProvisionalFailureLineNamingEveryProblem) {
    const std::pair<std::vector<CertificateProblem>, const char*> rows[] = {
        {{CertificateProblem::unknownAuthority, CertificateProblem::expired},
         "unknown authority, expired"},
        {{CertificateProblem::wrongHost}, "issued for another host"},
        {{}, "invalid"},
    };
    for (const auto& [problems, words] : rows) {
        FakeServices services;
        web::Coordinator coordinator(services.web(), "pelunnalabs.com", startUrl);
        coordinator.didFailCertificateCheck("lab.pelunnalabs.com", problems);
        EXPECT_THAT(services.log.lines,
                    ElementsAre(std::string("❌ Provisional navigation failed: TLS certificate for "
                                            "lab.pelunnalabs.com: ") +
                                words));
    }
}

}  // namespace
}  // namespace pelunna::test
