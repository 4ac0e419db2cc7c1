#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

using ConsoleBridgeTest = EngineFixture;

TEST_F(ConsoleBridgeTest, EachLogCallBecomesOneLineHoldingItsArgumentsAsJson) {
    server_.page("/", R"(<!doctype html><script>
        console.log("start");
        console.log("hello", 3);
        console.log();
        console.log("a\nb");
        console.log("ready");
    </script>)");
    open(url("/"));

    EXPECT_EQ(consoleLinesBetween(consoleLine(R"(["start"])"), consoleLine(R"(["ready"])")),
              (std::vector<std::string>{consoleLine(R"(["hello",3])"), consoleLine("[]"),
                                        consoleLine(R"(["a\nb"])")}));
    for (const std::string& line : log_.lines) {
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    }
}

TEST_F(ConsoleBridgeTest, OnlyLogCallsAndStringPostsArriveAndThePageNeverSeesAFailure) {
    server_.page("/", R"(<!doctype html><script>
        let threw = false;
        console.log("before");
        try {
            const cyclic = {};
            cyclic.self = cyclic;
            console.log(cyclic);
        } catch (e) {
            threw = true;
        }
        console.warn("warned");
        const channel = window.webkit.messageHandlers.logging;
        channel.postMessage({a: 1});
        channel.postMessage(42);
        channel.postMessage("direct");
        console.log("after", threw);
        console.log("ready");
    </script>)");
    open(url("/"));

    EXPECT_EQ(consoleLinesBetween(consoleLine(R"(["before"])"), consoleLine(R"(["ready"])")),
              (std::vector<std::string>{consoleLine("direct"), consoleLine(R"(["after",false])")}));
}

TEST_F(ConsoleBridgeTest, CrossOriginFrameLogsArriveToo) {
    server_.page("/frame", R"(<!doctype html><script>
        console.log("from frame", location.origin);
    </script>)");
    server_.page("/", "<!doctype html><iframe src=\"" + url("/frame", mediaHost) +
                          "\"></iframe><script>console.log('ready')</script>");
    open(url("/"));

    EXPECT_TRUE(waitForLine(consoleLine(R"(["from frame",")" + url("", mediaHost) + "\"]")));
}

}  // namespace
}  // namespace pelunna::test
