#include <string>
#include <vector>

#include "NavigationFixture.hpp"

namespace pelunna::test {
namespace {

using NavigationTest = NavigationFixture;
using LoadOutcomeTest = NavigationFixture;

const std::string readyPage = R"(<!doctype html><script>console.log("ready")</script>)";

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

// Points the page's first link at the address and follows it, as a click on it would.
std::string follow(const std::string& href) {
    return "const link = document.querySelector('a'); link.href = '" + href + "'; link.click();";
}

TEST_F(NavigationTest, TheStartPageIsAllowedThenLoaded) {
    server_.page("/start", readyPage);
    const std::string start = url("/start");
    load(start);

    EXPECT_EQ(clientLinesSince(0),
              (std::vector<std::string>{navigation(start), allowing(labHost), loaded(start)}));
}

TEST_F(NavigationTest, ForeignAndLookAlikeHostsAreBlockedWhateverStartsTheNavigation) {
    server_.page("/", R"(<!doctype html><a href="#">next</a>
        <form action="/" method="get"><input name="q" value="1"></form>
        <script>console.log("ready")</script>)");
    server_.page("/away", readyPage);
    const std::string start = url("/");
    load(start);
    const std::string port = std::to_string(server_.port());
    struct Case {
        std::string trigger;
        std::string uri;  // as the engine hands it over
        std::string host;
    };
    const std::vector<Case> cases = {
        {follow(url("/away", "evil.test")), url("/away", "evil.test"), "evil.test"},
        // Ends with the service's domain, but not after a dot.
        {follow(url("/away", "evilpelunnalabs.com")), url("/away", "evilpelunnalabs.com"),
         "evilpelunnalabs.com"},
        {"location.assign('" + url("/away", "pelunnalabs.com.evil.test") + "');",
         url("/away", "pelunnalabs.com.evil.test"), "pelunnalabs.com.evil.test"},
        // The service's name as user information in front of another host.
        {follow("http://lab.pelunnalabs.com@evil.test:" + port + "/away"),
         "http://lab.pelunnalabs.com@evil.test:" + port + "/away", "evil.test"},
        // An escaped dot: the engine decodes the host before anyone judges it.
        {follow("http://lab.pelunnalabs.com%2eevil.test:" + port + "/away"),
         url("/away", "lab.pelunnalabs.com.evil.test"), "lab.pelunnalabs.com.evil.test"},
        {"const form = document.querySelector('form'); form.action = '" +
             url("/away", "127.0.0.1") + "'; form.submit();",
         url("/away?q=1", "127.0.0.1"), "127.0.0.1"},
        {"location.replace('" + url("/away#" + std::string(labHost), "evil.test") + "');",
         url("/away#" + std::string(labHost), "evil.test"), "evil.test"},
    };
    for (const Case& navigationCase : cases) {
        SCOPED_TRACE(navigationCase.uri);
        const std::size_t from = mark();
        call(navigationCase.trigger);
        ASSERT_TRUE(waitForLineSince(from, blocking(navigationCase.host)));
        EXPECT_TRUE(stillShows(start));
        std::vector<std::string> expected{navigation(navigationCase.uri)};
        if (const auto hash = navigationCase.uri.find('#'); hash != std::string::npos) {
            expected.push_back("📍 Current hash: " + navigationCase.uri.substr(hash));
        }
        expected.push_back(blocking(navigationCase.host));
        EXPECT_EQ(clientLinesSince(from), expected);
    }
    EXPECT_EQ(server_.hits("/away"), 0);
}

TEST_F(NavigationTest, ARedirectToAForeignHostIsStoppedBeforeItLoads) {
    SignalRecorder failures("load-failed");
    server_.page("/", R"(<!doctype html><a href="/hop">next</a>
        <script>console.log("ready")</script>)");
    server_.route("/hop", [this](const ServedRequest&) {
        return Response{302, "text/plain", "", {{"Location", url("/landing", "evil.test")}}};
    });
    server_.page("/landing", readyPage);
    const std::string start = url("/");
    load(start);

    const std::size_t from = mark();
    call("document.querySelector('a').click();");
    ASSERT_TRUE(runUntil([&] { return !failures.emissions().empty(); }));

    EXPECT_TRUE(stillShows(start));
    EXPECT_EQ(server_.hits("/landing"), 0);
    EXPECT_EQ(failures.emissions()[0].kind, WEBKIT_LOAD_STARTED);
    EXPECT_EQ(clientLinesSince(from),
              (std::vector<std::string>{
                  navigation(url("/hop")), allowing(labHost),
                  navigation(url("/landing", "evil.test")), blocking("evil.test"),
                  "❌ Provisional navigation failed: " + failures.emissions()[0].error}));
}

TEST_F(NavigationTest, FragmentsAreLoggedBetweenTheNavigationAndTheVerdict) {
    server_.page("/", R"(<!doctype html><a href="#">next</a>
        <script>console.log("ready")</script>)");
    server_.page("/unit", readyPage);
    const std::string start = url("/");
    load(start);

    std::size_t from = mark();
    call("location.hash = '/unit/2';");
    ASSERT_TRUE(waitForLineSince(from, allowing(labHost)));
    EXPECT_EQ(clientLinesSince(from),
              (std::vector<std::string>{navigation(start + "#/unit/2"), "📍 Current hash: #/unit/2",
                                        allowing(labHost)}));

    // Present but empty: the line ends at the "#".
    from = mark();
    call("location.hash = '';");
    ASSERT_TRUE(waitForLineSince(from, allowing(labHost)));
    EXPECT_EQ(clientLinesSince(from),
              (std::vector<std::string>{navigation(start + "#"), "📍 Current hash: #",
                                        allowing(labHost)}));

    from = mark();
    const std::string next = url("/unit#/unit/3", mediaHost);
    call(follow(next));
    ASSERT_TRUE(waitForLineSince(from, loaded(next)));
    EXPECT_EQ(clientLinesSince(from),
              (std::vector<std::string>{navigation(next), "📍 Current hash: #/unit/3",
                                        allowing(mediaHost), loaded(next)}));
}

TEST_F(NavigationTest, SubFramesAreKeptOnTheServiceToo) {
    server_.page("/frame", R"(<!doctype html><a href="#">next</a>
        <script>console.log("frame ready")</script>)");
    server_.page("/away", readyPage);
    const std::string foreignFrame = url("/away", "evilpelunnalabs.com");
    server_.page("/", "<!doctype html><iframe src=\"/frame\"></iframe><iframe src=\"" +
                          foreignFrame + "\"></iframe><script>console.log('ready')</script>");
    const std::string start = url("/");
    load(start);
    ASSERT_TRUE(waitForLine(consoleLine(R"(["frame ready"])")));

    EXPECT_EQ(
        clientLinesSince(0),
        (std::vector<std::string>{navigation(start), allowing(labHost), navigation(url("/frame")),
                                  allowing(labHost), navigation(foreignFrame),
                                  blocking("evilpelunnalabs.com"), loaded(start)}));

    // The service's own frame, led away by a link inside it.
    const std::size_t from = mark();
    call("const link = frames[0].document.querySelector('a'); link.href = '" +
         url("/away", "evil.test") + "'; link.click();");
    ASSERT_TRUE(waitForLineSince(from, blocking("evil.test")));
    EXPECT_EQ(
        clientLinesSince(from),
        (std::vector<std::string>{navigation(url("/away", "evil.test")), blocking("evil.test")}));
    EXPECT_EQ(call("return frames[0].location.href;"), "\"" + url("/frame") + "\"");
    EXPECT_TRUE(stillShows(start));
    EXPECT_EQ(server_.hits("/away"), 0);
}

TEST_F(NavigationTest, AddressesWithoutAHostAreCancelledWithoutALine) {
    SignalRecorder decisions("decide-policy");
    server_.page("/", R"(<!doctype html><a href="#">next</a>
        <script>console.log("ready")</script>)");
    const std::string start = url("/");
    load(start);
    const std::string blob =
        call("return URL.createObjectURL(new Blob(['<p>swapped</p>'], {type: 'text/html'}));");
    ASSERT_TRUE(blob.starts_with("\"blob:")) << blob;
    const std::string blobUri = blob.substr(1, blob.size() - 2);

    const std::size_t from = mark();
    for (const std::string& uri :
         {std::string("about:blank"), std::string("data:text/html,<p>swapped</p>"), blobUri}) {
        call(follow(uri));
        EXPECT_TRUE(decisions.waitForUri(uri)) << "the engine never asked about " << uri;
        EXPECT_TRUE(stillShows(start)) << uri;
    }
    EXPECT_EQ(clientLinesSince(from), std::vector<std::string>{});
}

TEST_F(LoadOutcomeTest, ALoadNamesTheAddressTheViewEndedOn) {
    server_.page("/", R"(<!doctype html><a href="/hop">next</a>
        <script>console.log("ready")</script>)");
    server_.route("/hop", [this](const ServedRequest&) {
        return Response{302, "text/plain", "", {{"Location", url("/landing", mediaHost)}}};
    });
    server_.page("/landing", readyPage);
    load(url("/"));

    const std::size_t from = mark();
    call("document.querySelector('a').click();");
    const std::string landing = url("/landing", mediaHost);
    ASSERT_TRUE(waitForLineSince(from, loaded(landing)));
    EXPECT_EQ(
        clientLinesSince(from),
        (std::vector<std::string>{navigation(url("/hop")), allowing(labHost), navigation(landing),
                                  allowing(mediaHost), loaded(landing)}));
}

// The engine would save these; the kiosk keeps the page and writes nothing.
TEST_F(LoadOutcomeTest, AResponseToSaveIsBlockedAndFailsProvisionallyWhileThePageStays) {
    const std::pair<const char*, Response> responses[] = {
        {"/lesson.bin", {200, "application/octet-stream", std::string(64, '\x01'), {}}},
        {"/answers.txt",
         {200, "text/plain", "answers", {{"Content-Disposition", "attachment; filename=a.txt"}}}},
    };
    server_.page("/", R"(<!doctype html><script>console.log("ready")</script>)");
    const std::string start = url("/");
    load(start);
    for (const auto& [path, response] : responses) {
        SignalRecorder failures("load-failed");
        server_.route(path, [response = response](const ServedRequest&) { return response; });
        const std::size_t from = mark();
        call(std::string("location.href = '") + path + "';");
        ASSERT_TRUE(runUntil([&] { return !failures.emissions().empty(); })) << path;

        EXPECT_TRUE(stillShows(start));
        EXPECT_EQ(failures.emissions()[0].kind, WEBKIT_LOAD_STARTED);
        EXPECT_EQ(clientLinesSince(from),
                  (std::vector<std::string>{
                      navigation(url(path)), allowing(labHost), "❌ Blocking download: " + url(path),
                      "❌ Provisional navigation failed: " + failures.emissions()[0].error}));
    }
}

TEST_F(LoadOutcomeTest, ALoadThatFailsAfterItWasShownIsANavigationFailure) {
    SignalRecorder failures("load-failed");
    server_.page("/", R"(<!doctype html><a href="/partial">next</a>
        <script>console.log("ready")</script>)");
    // The announced length is never sent, so the page stays in the middle of its load.
    server_.route("/partial", [](const ServedRequest&) {
        return Response{200,
                        "text/html; charset=utf-8",
                        "<!doctype html><script>console.log('partly shown')</script><p>" +
                            std::string(8192, 'x'),
                        {{"Content-Length", "1000000"}}};
    });
    load(url("/"));

    const std::size_t from = mark();
    call("document.querySelector('a').click();");
    ASSERT_TRUE(waitForLine(consoleLine(R"(["partly shown"])")));
    webkit_web_view_stop_loading(webKitView());
    ASSERT_TRUE(runUntil([&] { return !failures.emissions().empty(); }));
    // A round trip to the page gives a late success line time to show.
    EXPECT_EQ(call("return location.pathname;"), R"("/partial")");

    EXPECT_EQ(failures.emissions()[0].kind, WEBKIT_LOAD_COMMITTED);
    EXPECT_EQ(clientLinesSince(from),
              (std::vector<std::string>{navigation(url("/partial")), allowing(labHost),
                                        "❌ Navigation failed: " + failures.emissions()[0].error}));
}

}  // namespace
}  // namespace pelunna::test
