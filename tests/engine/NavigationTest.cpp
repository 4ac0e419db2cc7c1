#include <string>
#include <vector>

#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

using NavigationTest = EngineFixture;

std::string navigation(const std::string& uri) {
    return "Navigation to: " + uri;
}
std::string allowing(const std::string& host) {
    return "✅ Allowing navigation to: " + host;
}
std::string blocking(const std::string& host) {
    return "❌ Blocking navigation to: " + host;
}
std::string loaded(const std::string& uri) {
    return "✅ Page loaded successfully: " + uri;
}

// Points the first link of the document at the address and follows it, as a click would.
std::string follow(const std::string& href, const std::string& document = "document") {
    return "const link = " + document + ".querySelector('a'); link.href = '" + href +
           "'; link.click();";
}

std::vector<std::string> blocked(const std::string& uri, const std::string& host) {
    return {navigation(uri), blocking(host)};
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
        clientLinesSince(0),
        (std::vector<std::string>{navigation(start), allowing(labHost), navigation(url("/frame")),
                                  allowing(labHost), navigation(foreignFrame),
                                  blocking("evilpelunnalabs.com"), loaded(start)}));
    // The start page is fetched anew, whatever a cache holds.
    EXPECT_EQ(server_.requests().front().cacheControl, "no-cache");
    const std::string port = std::to_string(server_.port());
    const std::string evil = url("/away", "evil.test");
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {follow(evil), blocked(evil, "evil.test")},
        {"location.assign('" + url("/away", "lab.pelunnalabs.com.evil.test") + "');",
         blocked(url("/away", "lab.pelunnalabs.com.evil.test"), "lab.pelunnalabs.com.evil.test")},
        // The service's name as user information in front of another host.
        {follow("http://lab.pelunnalabs.com@evil.test:" + port + "/away"),
         blocked("http://lab.pelunnalabs.com@evil.test:" + port + "/away", "evil.test")},
        {"const form = document.forms[0]; form.action = '" + url("/away", "127.0.0.1") +
             "'; form.submit();",
         blocked(url("/away?q=1", "127.0.0.1"), "127.0.0.1")},
        // The service's own frame, led away by a link inside it.
        {follow(evil, "frames[0].document"), blocked(evil, "evil.test")},
        // No host to judge: cancelled without a line.
        {follow("about:blank"), {}},
        {follow("data:text/html,<p>swapped</p>"), {}},
    };
    SignalCount decisions("decide-policy");
    for (const auto& [trigger, lines] : rows) {
        SCOPED_TRACE(trigger);
        const std::size_t from = mark();
        const int before = decisions.value;
        call(trigger);
        ASSERT_TRUE(runUntil([&] { return decisions.value > before; })) << "the engine never asked";
        EXPECT_EQ(shown(), kept(start)) << "a round trip to the page lets late lines show";
        EXPECT_EQ(clientLinesSince(from), lines);
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
                        R"(<a href="#">next</a><script>console.log("ready")
            </script>)",
                        {{"Set-Cookie", server_.hits("/") == 1 ? "lab=kept" : "other=1"}}};
    });
    server_.page("/landing", readyPage);
    server_.route("/hop", [&](const ServedRequest&) {
        return Response{302, "text/plain", "", {{"Location", landing}}};
    });
    server_.route("/foreign-hop", [&](const ServedRequest&) {
        return Response{302, "text/plain", "", {{"Location", foreign}}};
    });
    // The engine would save these.
    server_.route("/lesson.bin", [](const ServedRequest&) {
        return Response{200, "application/octet-stream", std::string(64, '\x01'), {}};
    });
    server_.route("/answers.txt", [](const ServedRequest&) {
        return Response{200, "text/plain", "a", {{"Content-Disposition", "attachment; name=a"}}};
    });
    // The announced length is never sent, so the page stays in the middle of its load.
    server_.route("/partial", [](const ServedRequest&) {
        return Response{200,
                        "text/html; charset=utf-8",
                        "<script>console.log('partly shown')</script><p>" + std::string(8192, 'x'),
                        {{"Content-Length", "1000000"}}};
    });
    const std::string start = url("/");
    const std::string failed = "❌ Provisional navigation failed: ";
    struct Row {
        std::string path;
        std::vector<std::string> lines;  // the last one is a line's start
        std::string shows;
    };
    const std::vector<Row> rows = {
        {"/hop", {navigation(landing), allowing(mediaHost), loaded(landing)}, landing},
        {"/foreign-hop", {navigation(foreign), blocking("evil.test"), failed}, start},
        {"/lesson.bin", {"❌ Blocking download: " + url("/lesson.bin"), failed}, start},
        {"/answers.txt", {"❌ Blocking download: " + url("/answers.txt"), failed}, start},
        {"/partial", {"❌ Navigation failed: "}, url("/partial")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        load(start);
        const std::size_t from = mark();
        call(follow(row.path));
        if (row.path == "/partial") {
            ASSERT_TRUE(waitForLine(consoleLine(R"(["partly shown"])")));
            webkit_web_view_stop_loading(webKitView());
        }
        std::vector<std::string> expected{navigation(url(row.path)), allowing(labHost)};
        expected.insert(expected.end(), row.lines.begin(), row.lines.end());
        ASSERT_TRUE(runUntil([&] { return clientLinesSince(from).size() >= expected.size(); }));
        // A round trip to the page gives a late line time to show.
        EXPECT_EQ(call("return location.href;"), "\"" + row.shows + "\"");
        std::vector<std::string> lines = clientLinesSince(from);
        ASSERT_EQ(lines.size(), expected.size()) << testing::PrintToString(lines);
        EXPECT_TRUE(lines.back().starts_with(expected.back())) << lines.back();
        lines.back() = expected.back();
        EXPECT_EQ(lines, expected);
    }
    EXPECT_EQ(server_.hits("/landing"), 1);
    ASSERT_TRUE(waitForLine("🧹 Cache cleared", 5));
    EXPECT_EQ(call("await fetch('/probe'); return document.cookie;"), R"("lab=kept; other=1")");
}

}  // namespace
}  // namespace pelunna::test
