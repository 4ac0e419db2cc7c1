#include "web/WebView.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Fakes.hpp"

namespace pelunna::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const std::string startUrl = "https://lab.pelunnalabs.com/start";

TEST(WebViewConstruction, StartsTheCacheRemovalThenLoadsWithoutWaitingForIt) {
    FakeEngine engine;
    FakeServices services;
    RecordingLog& log = services.log;
    web::WebView view(engine, services.web(), FakeServices::service(startUrl));

    EXPECT_THAT(engine.journal, ElementsAre("remove caches", "make view",
                                            "load " + startUrl + " 60 ignoring cache"));
    EXPECT_THAT(log.lines, IsEmpty());
    engine.store.completions.at(0)();
    EXPECT_THAT(log.lines, ElementsAre("🧹 Cache cleared"));
}

TEST(WebViewConstruction, ConfiguresTheEngineForTheService) {
    FakeEngine engine;
    FakeServices services;
    web::WebView view(engine, services.web(), FakeServices::service(startUrl));

    const EngineConfiguration& configuration = *engine.configuration;
    EXPECT_EQ(configuration.applicationNameForUserAgent, "PelunnaLabs/1.0");
    EXPECT_FALSE(configuration.mediaRequiresUserActionForPlayback);
    EXPECT_EQ(configuration.scriptMessageHandlerName, "logging");
    EXPECT_EQ(engine.delegate, &view.coordinator());
    EXPECT_EQ(view.coordinator().allowedDomain(), "pelunnalabs.com");

    // The console bridge must come first: the other scripts report through it. Only the Escape
    // handler waits for the document, whose controls it looks for.
    std::vector<std::pair<std::string_view, InjectionTime>> scripts;
    for (const UserScript& script : configuration.userScripts) {
        EXPECT_FALSE(script.forMainFrameOnly) << script.resourceName;
        scripts.emplace_back(script.resourceName, script.injectionTime);
    }
    EXPECT_THAT(scripts,
                ElementsAre(std::pair{"console-bridge.js", InjectionTime::atDocumentStart},
                            std::pair{"iframe-microphone.js", InjectionTime::atDocumentStart},
                            std::pair{"media-diagnostics.js", InjectionTime::atDocumentStart},
                            std::pair{"escape-handler.js", InjectionTime::atDocumentEnd}));
}

class WebViewUpdate : public testing::Test {
protected:
    FakeEngine engine;
    FakeServices services;
    RecordingLog& log = services.log;
    web::WebView view{engine, services.web(), FakeServices::service(startUrl)};
};

TEST_F(WebViewUpdate, AppliesZoomOnEveryUpdateAndReloadsOnlyWhenTheTriggerDiffers) {
    engine.view->shownUrl = startUrl;
    engine.delegate->didCommitNavigation(*engine.view);
    view.update(1.0, false);
    view.update(1.0, false);
    EXPECT_THAT(engine.view->zooms, ElementsAre(1.0, 1.0));
    EXPECT_EQ(engine.count("reload"), 0);

    view.update(1.2, true);
    view.update(1.2, true);
    EXPECT_EQ(engine.count("reload"), 1);
    view.update(1.2, false);
    EXPECT_EQ(engine.count("reload"), 2);
    EXPECT_THAT(log.lines, ElementsAre("🔄 Reloading from origin...", "🔄 Reloading from origin..."));
}

// Until a page is shown there is nothing to reload: the start page is asked for again.
TEST_F(WebViewUpdate, AViewBuiltWhileTheTriggerIsSetLoadsOnceOnItsFirstUpdate) {
    view.update(1.0, true);
    view.update(1.0, true);
    const std::string startLoad = "load " + startUrl + " 60 ignoring cache";
    EXPECT_THAT(engine.journal, ElementsAre("remove caches", "make view", startLoad, startLoad));
}

TEST(ConsoleReceiver, PrintsStringBodiesOfTheLoggingChannelOnly) {
    FakeServices services;
    RecordingLog& log = services.log;
    web::Coordinator coordinator(services.web(), "pelunnalabs.com", startUrl);

    coordinator.didReceiveScriptMessage("logging", std::string(R"(["hello",3])"));
    coordinator.didReceiveScriptMessage("logging", std::nullopt);
    coordinator.didReceiveScriptMessage("Logging", std::string("x"));
    coordinator.didReceiveScriptMessage("other", std::string("x"));
    coordinator.didReceiveScriptMessage("logging", std::string());

    EXPECT_THAT(log.lines, ElementsAre(R"(📱 WebView Console: ["hello",3])", "📱 WebView Console: "));
}

}  // namespace
}  // namespace pelunna::test
