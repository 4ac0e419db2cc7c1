#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

using NavigationTest = EngineFixture;

// Each link the page follows ends with one line naming its outcome: a foreign host is blocked,
// and a load that failed never also reads as a success. Hosts that only resemble the service's,
// and addresses without a host, are judged in the unit tests.
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
    const std::string navigation = "Navigation to: ";
    const std::string allowing = "✅ Allowing navigation to: ";
    const std::string loaded = "✅ Page loaded successfully: ";
    const std::string failed = "❌ Provisional navigation failed: ";
    // After the allowed link; the last line is a line's start.
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {"/hop", {navigation + landing, allowing + mediaHost, loaded + landing}},
        {"/foreign-hop", {navigation + foreign, "❌ Blocking navigation to: evil.test", failed}},
        {"/lesson.bin", {"❌ Blocking download: " + url("/lesson.bin"), failed}},
        {"/answers.txt", {"❌ Blocking download: " + url("/answers.txt"), failed}},
        {"/partial", {"❌ Navigation failed: "}},
    };
    for (const auto& [path, rowLines] : rows) {
        SCOPED_TRACE(path);
        load(start);
        const std::size_t from = mark();
        call("const link = document.querySelector('a'); link.href = '" + path + "'; link.click();");
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
    // The foreign host was never asked; the start page is fetched anew, whatever a cache holds.
    EXPECT_EQ(server_.hits("/landing"), 1);
    EXPECT_EQ(server_.requests().front().cacheControl, "no-cache");
    ASSERT_TRUE(waitForLine("🧹 Cache cleared", 5));
    EXPECT_EQ(call("await fetch('/probe'); return document.cookie;"), R"("lab=kept; other=1")");
}

}  // namespace
}  // namespace pelunna::test
