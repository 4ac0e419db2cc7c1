#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

using NavigationTest = EngineFixture;

const std::string navigation = "Navigation to: ";
const std::string allowing = "✅ Allowing navigation to: ";
const std::string blocking = "❌ Blocking navigation to: ";
const std::string loaded = "✅ Page loaded successfully: ";

// Points the first link of the document at the address and follows it, as a click would.
std::string follow(const std::string& href, const std::string& document = "document") {
    return "const link = " + document + ".querySelector('a'); link.href = '" + href +
           "'; link.click();";
}

TEST_F(NavigationTest, ForeignHostsAreBlockedAndNoHostCancelledWhateverStartsTheNavigation) {
    server_.page("/frame", R"(<a href="#">next</a>)");
    server_.page("/away", readyPage);
    const std::string foreignFrame = url("/away", "evilpelunnalabs.com");
    server_.page("/", R"(<a href="#">next</a><iframe src="/frame"></iframe><iframe src=")" +
                          foreignFrame + R"("></iframe><form action="/"><input name="q" value="1">
        </form><script>console.log("ready")</script>)");
    const std::string start = url("/");
    load(start);
    EXPECT_EQ(
        linesSince(0, false),
        (std::vector<std::string>{
            navigation + start, allowing + labHost, navigation + url("/frame"), allowing + labHost,
            navigation + foreignFrame, blocking + "evilpelunnalabs.com", loaded + start}));
    // The start page is fetched anew, whatever a cache holds.
    EXPECT_EQ(server_.requests().front().cacheControl, "no-cache");
    const std::string evil = url("/away", "evil.test");
    const std::vector<std::string> blocked{navigation + evil, blocking + "evil.test"};
    // Hosts that only resemble the service's are judged in the unit tests.
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {follow(evil), blocked},
        {"location.assign('" + evil + "');", blocked},
        {"const form = document.forms[0]; form.action = '" + url("/away", "127.0.0.1") +
             "'; form.submit();",
         {navigation + url("/away?q=1", "127.0.0.1"), blocking + "127.0.0.1"}},
        // The service's own frame, led away by a link inside it.
        {follow(evil, "frames[0].document"), blocked},
        // No host to judge: cancelled without a line.
        {follow("about:blank"), {}},
        {follow("data:text/html,<p>swapped</p>"), {}},
    };
    SignalCount decisions(WEBKIT_TYPE_WEB_VIEW, "decide-policy");
    for (const auto& [trigger, lines] : rows) {
        SCOPED_TRACE(trigger);
        const std::size_t from = mark();
        const int before = decisions.value;
        call(trigger);
        ASSERT_TRUE(runUntil([&] { return decisions.value > before; })) << "the engine never asked";
        EXPECT_EQ(shown(), kept(start)) << "a round trip to the page lets late lines show";
        EXPECT_EQ(linesSince(from, false), lines);
    }
    EXPECT_EQ(call("return frames[0].location.href;"), "\"" + url("/frame") + "\"");
    EXPECT_EQ(server_.hits("/away"), 0);
}

// Each load's last line tells how it ended, and one that failed is never also a success.
TEST_F(NavigationTest, EachLoadEndsWithOneLineNamingItsOutcome) {
    const std::string landing = url("/landing", mediaHost);
    const std::string foreign = url("/landing", "evil.test");
    // A cookie set once outlives the cache removal of every later view.
    server_.route("/", [this](const ServedRequest&) {
        return Response{200,
                        "text/html",
                        R"(<a href="#">next</a><script>console.log("ready")</script>)",
                        {{"Set-Cookie", server_.hits("/") == 1 ? "lab=kept" : "other=1"}}};
    });
    server_.page("/landing", readyPage);
    const std::string partly =
        "<script>console.log('partly shown')</script><p>" + std::string(8192, 'x');
    const std::pair<std::string, Response> served[] = {
        {"/hop", {302, "text/plain", "", {{"Location", landing}}}},
        {"/foreign-hop", {302, "text/plain", "", {{"Location", foreign}}}},
        // The engine would save these.
        {"/lesson.bin", {200, "application/octet-stream", std::string(64, '\x01'), {}}},
        {"/answers.txt", {200, "text/plain", "a", {{"Content-Disposition", "attachment; name=a"}}}},
        // The announced length is never sent, so the page stays in the middle of its load.
        {"/partial", {200, "text/html; charset=utf-8", partly, {{"Content-Length", "1000000"}}}},
    };
    for (const auto& [path, response] : served) {
        server_.route(path, [response](const ServedRequest&) { return response; });
    }
    const std::string start = url("/");
    const std::string failed = "❌ Provisional navigation failed: ";
    // After the allowed link; the last line is a line's start.
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {"/hop", {navigation + landing, allowing + mediaHost, loaded + landing}},
        {"/foreign-hop", {navigation + foreign, blocking + "evil.test", failed}},
        {"/lesson.bin", {"❌ Blocking download: " + url("/lesson.bin"), failed}},
        {"/answers.txt", {"❌ Blocking download: " + url("/answers.txt"), failed}},
        {"/partial", {"❌ Navigation failed: "}},
    };
    for (const auto& [path, rowLines] : rows) {
        SCOPED_TRACE(path);
        load(start);
        const std::size_t from = mark();
        call(follow(path));
        if (path == "/partial") {
            ASSERT_TRUE(waitForLine(consoleLine(R"(["partly shown"])")));
            webkit_web_view_stop_loading(webKitView());
        }
        std::vector<std::string> expected{navigation + url(path), allowing + labHost};
        expected.insert(expected.end(), rowLines.begin(), rowLines.end());
        ASSERT_TRUE(runUntil([&] { return linesSince(from, false).size() >= expected.size(); }));
        call("return 0;");  // a round trip to the page gives a late line time to show
        std::vector<std::string> lines = linesSince(from, false);
        lines.back().resize(expected.back().size());  // the rest is the engine's wording
        EXPECT_EQ(lines, expected);
    }
    EXPECT_EQ(server_.hits("/landing"), 1);
    ASSERT_TRUE(waitForLine("🧹 Cache cleared", 5));
    EXPECT_EQ(call("await fetch('/probe'); return document.cookie;"), R"("lab=kept; other=1")");
}

}  // namespace
}  // namespace pelunna::test
