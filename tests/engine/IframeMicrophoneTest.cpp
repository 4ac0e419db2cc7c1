#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

const std::string readAllow =
    "return [...document.querySelectorAll('iframe')].map(f => f.getAttribute('allow'))";

class IframeMicrophoneTest : public EngineFixture {
protected:
    // What the enabler logs, in order; the other page scripts log about every frame too.
    [[nodiscard]] std::vector<std::string> enablerLines() const {
        std::vector<std::string> lines = consoleLines();
        std::erase_if(lines, [](const std::string& line) {
            return !line.starts_with(consoleLine(R"(["🔧 Added allow=microphone)")) &&
                   !line.starts_with(consoleLine(R"(["📋 Found")"));
        });
        return lines;
    }
};

std::string added(const std::string& target) {
    return consoleLine(R"(["🔧 Added allow=microphone to iframe in","[MAIN]",":",")" + target +
                       "\"]");
}

TEST_F(IframeMicrophoneTest, IframesOfTheLoadedDocumentGetTheMicrophoneToken) {
    server_.page("/", R"(<!doctype html>
        <iframe id="plain"></iframe>
        <iframe id="camera" allow="camera"></iframe>
        <iframe id="denied" allow="microphone 'none'"></iframe>
        <script>document.addEventListener("DOMContentLoaded", () => console.log("ready"));</script>)");
    open(url("/"));

    EXPECT_EQ(call(readAllow), R"(["microphone","camera; microphone","microphone 'none'"])");
    EXPECT_EQ(count(consoleLine(R"(["📋 Found",3,"iframes in","[MAIN]"])")), 1);
    // Whether the observer or the first fix-up gets to an iframe depends on how the parser
    // batches its insertions; either way each rewrite is logged once.
    EXPECT_EQ(consoleLines(R"(["🔧 Added allow=microphone to )").size(), 2U);
    for (const std::string& line : consoleLines()) {
        EXPECT_EQ(line.find("denied"), std::string::npos) << line;
    }
}

// The observer sees every iframe the parser inserts, so the first fix-up only rewrites iframes
// outside the observed tree: here the page swaps in a new root element before it is parsed.
TEST_F(IframeMicrophoneTest, FirstFixUpNamesEachRewrittenIframeBySourceThenId) {
    server_.page("/blank", "<!doctype html>");
    server_.page("/", R"(<!doctype html><script>
        const root = document.createElement("html");
        root.innerHTML = `<body>
            <iframe id="sourced" src="/blank"></iframe>
            <iframe id="named"></iframe>
            <iframe></iframe>
            <iframe id="camera" allow="camera"></iframe>
            <iframe id="denied" allow="microphone 'none'"></iframe>
        </body>`;
        document.replaceChild(root, document.documentElement);
        document.addEventListener("DOMContentLoaded", () => console.log("ready"));
    </script>)");
    open(url("/"));

    EXPECT_EQ(
        call(readAllow),
        R"(["microphone","microphone","microphone","camera; microphone","microphone 'none'"])");
    EXPECT_EQ(enablerLines(),
              (std::vector<std::string>{added(url("/blank")), added("named"), added("(no src)"),
                                        added("camera"),
                                        consoleLine(R"(["📋 Found",5,"iframes in","[MAIN]"])")}));
}

TEST_F(IframeMicrophoneTest, DocumentWithoutIframesLogsNothing) {
    server_.page("/", R"(<!doctype html><p>No frames here.</p>
        <script>document.addEventListener("DOMContentLoaded", () => console.log("ready"));</script>)");
    open(url("/"));

    EXPECT_EQ(enablerLines(), std::vector<std::string>{});
}

TEST_F(IframeMicrophoneTest, IframesAddedLaterAreRewrittenAlone) {
    server_.page("/", R"(<!doctype html><body><script>console.log("ready")</script></body>)");
    open(url("/"));

    EXPECT_EQ(call(R"(
        const added = document.createElement("iframe");
        added.id = "late";
        document.body.append(added);
        const container = document.createElement("div");
        container.innerHTML = `<p><iframe id="inner" allow="camera"></iframe></p>`;
        document.body.append(container);
        const kept = document.createElement("iframe");
        kept.id = "kept";
        kept.setAttribute("allow", "microphone 'self'");
        document.body.append(kept);
        await new Promise((resolve) => setTimeout(resolve, 0));
        return [added, container.querySelector("iframe"), kept].map(f => f.getAttribute("allow"));
    )"),
              R"(["microphone","camera; microphone","microphone 'self'"])");

    EXPECT_TRUE(waitForLine(
        consoleLine(R"(["🔧 Added allow=microphone to NEW iframe in","[MAIN]",":","late"])")));
    EXPECT_TRUE(waitForLine(
        consoleLine(R"(["🔧 Added allow=microphone to nested NEW iframe in","[MAIN]"])")));
    for (const std::string& line : log_.lines) {
        EXPECT_EQ(line.find("kept"), std::string::npos) << line;
    }
}

TEST_F(IframeMicrophoneTest, FrameLabelHoldsTheFirst80CharactersOfTheFrameAddress) {
    const std::string framePath = "/lessons/speaking/" + std::string(60, 'x');
    const std::string frameUrl = url(framePath) + "?unit=7";
    ASSERT_GT(frameUrl.size(), 80U);
    server_.page(framePath, R"(<!doctype html><iframe id="inner"></iframe>)");
    server_.page("/", "<!doctype html><iframe src=\"" + frameUrl +
                          "\"></iframe><script>console.log('ready')</script>");
    open(url("/"));

    EXPECT_TRUE(waitForLine(
        consoleLine(R"(["📋 Found",1,"iframes in","[IFRAME:)" + frameUrl.substr(0, 80) + "]\"]")));
}

}  // namespace
}  // namespace pelunna::test
