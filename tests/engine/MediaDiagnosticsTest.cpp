#include <string>
#include <vector>

#include "MediaFixture.hpp"

namespace pelunna::test {
namespace {

const std::string mainFrame = "[MAIN]";

std::string loading(const std::string& frame) {
    return consoleLine(R"(["🔧 Media debug loading in",")" + frame + "\"]");
}
std::string apiCheck(const std::string& frame, bool capture) {
    const std::string available = capture ? "true" : "false";
    return consoleLine(R"(["🔍 API check in",")" + frame + R"(",":","mediaDevices=)" + available +
                       R"(","getUserMedia=)" + available +
                       R"(","legacyGetUserMedia=false","webkitGetUserMedia=false",)"
                       R"("permissions=true","isSecureContext=false"])");
}
std::string installed(const std::string& frame) {
    return consoleLine(R"(["🔧 Full media debug wrapper installed in",")" + frame + "\"]");
}

class MediaDiagnosticsTest : public MediaFixture {
protected:
    // The script's own lines, in order; the other page scripts and the page log too.
    [[nodiscard]] std::vector<std::string> diagnosticLines() const {
        std::vector<std::string> lines = consoleLines();
        std::erase_if(lines, [](const std::string& line) {
            for (const char* prefix : {"🔧 Media debug", "🔍 API check", "🔧 Full media", "🎤 ",
                                       "✅ getUserMedia", "❌ getUserMedia", "🔐 ", "🚨 ", "🔊 "}) {
                if (line.starts_with(consoleLine("[\"" + std::string(prefix)))) {
                    return false;
                }
            }
            return true;
        });
        return lines;
    }
};

TEST_F(MediaDiagnosticsTest, EveryFrameReportsItsApisBeforeThePageRuns) {
    const std::string frameUrl = url("/frame", mediaHost);
    const std::string frame = "[IFRAME:" + frameUrl + "]";
    server_.page("/frame", R"(<!doctype html><script>console.log("frame ready")</script>)");
    server_.page("/", R"(<!doctype html><script>console.log("page start")</script>
        <iframe src=")" + frameUrl +
                          R"("></iframe><script>console.log("ready")</script>)");
    open(url("/"));
    ASSERT_TRUE(waitForLine(consoleLine(R"(["frame ready"])")));

    const std::vector<std::string> expected{loading(mainFrame),    apiCheck(mainFrame, true),
                                            installed(mainFrame),  loading(frame),
                                            apiCheck(frame, true), installed(frame)};
    EXPECT_EQ(diagnosticLines(), expected);
    // Installed at document start: in place before the page's first script in each frame.
    EXPECT_EQ(consoleLinesBetween(installed(mainFrame), consoleLine(R"(["page start"])")),
              std::vector<std::string>{});
    EXPECT_EQ(consoleLinesBetween(installed(frame), consoleLine(R"(["frame ready"])")),
              std::vector<std::string>{});
}

TEST_F(MediaDiagnosticsTest, InsecureContextHasNoCaptureApiAndTheOtherWrappersStillInstall) {
    captureOnInsecureOrigins_ = false;
    server_.page("/", R"(<!doctype html><script>console.log("ready")</script>)");
    open(url("/"));

    EXPECT_EQ(diagnosticLines(),
              (std::vector<std::string>{loading(mainFrame), apiCheck(mainFrame, false),
                                        installed(mainFrame)}));
    EXPECT_EQ(call("return typeof navigator.mediaDevices;"), R"("undefined")");
    const std::string state =
        call("return (await navigator.permissions.query({name: 'camera'})).state;");
    EXPECT_TRUE(waitForLine(consoleLine(R"(["🔐 permissions.query result in","[MAIN]",":",)"
                                        R"("camera","=",)" +
                                        state + "]")))
        << state;
}

TEST_F(MediaDiagnosticsTest, GrantedRequestLogsItsConstraintsAndTracksAndResolvesUnchanged) {
    server_.page("/", R"(<!doctype html><script>console.log("ready")</script>)");
    open(url("/"));

    EXPECT_EQ(call(R"(
        const stream = await navigator.mediaDevices.getUserMedia(
            {audio: {echoCancellation: false}});
        const tracks = stream.getTracks();
        tracks.forEach((t) => t.stop());
        return [stream instanceof MediaStream, tracks.map((t) => t.kind + ':' + t.label)];)"),
              R"([true,["audio:Mock audio device 1"]])");

    EXPECT_TRUE(waitForLine(consoleLine(
        R"(["✅ getUserMedia SUCCESS in","[MAIN]","- tracks:","audio:Mock audio device 1"])")));
    EXPECT_EQ(count(consoleLine(R"(["🎤 getUserMedia called in","[MAIN]","with:",)"
                                R"("{\"audio\":{\"echoCancellation\":false}}"])")),
              1);
    EXPECT_EQ(consoleLinesBetween(consoleLine(R"(["🎤 getUserMedia called in","[MAIN]","with:",)"
                                              R"("{\"audio\":{\"echoCancellation\":false}}"])"),
                                  consoleLine(R"(["✅ getUserMedia SUCCESS in","[MAIN]",)"
                                              R"("- tracks:","audio:Mock audio device 1"])")),
              std::vector<std::string>{});
}

TEST_F(MediaDiagnosticsTest, RefusedRequestIsLoggedAndThePageGetsTheSameRejection) {
    microphone.status = MicrophoneStatus::denied;
    server_.page("/", R"(<!doctype html><script>console.log("ready")</script>)");
    open(url("/"));

    EXPECT_EQ(call(R"(
        try {
            await navigator.mediaDevices.getUserMedia({audio: true});
            return 'granted';
        } catch (e) {
            window.refusal = e;
            return [e instanceof DOMException, e.name];
        })"),
              R"([true,"NotAllowedError"])");

    const std::string message = call("return window.refusal.message;");
    ASSERT_GT(message.size(), 2U);
    EXPECT_TRUE(waitForLine(consoleLine(
        R"(["❌ getUserMedia FAILED in","[MAIN]",":","NotAllowedError",)" + message + "]")));
    EXPECT_EQ(count(consoleLine(R"(["🎤 getUserMedia called in","[MAIN]","with:",)"
                                R"("{\"audio\":true}"])")),
              1);
}

TEST_F(MediaDiagnosticsTest, LegacyRequestFunctionsAreNeitherPresentNorAdded) {
    server_.page("/", R"(<!doctype html><script>console.log("ready")</script>)");
    open(url("/"));

    EXPECT_EQ(count(apiCheck(mainFrame, true)), 1);
    EXPECT_EQ(call("return ['getUserMedia', 'webkitGetUserMedia', 'mozGetUserMedia']"
                   "    .map((name) => name in navigator);"),
              "[false,false,false]");
}

TEST_F(MediaDiagnosticsTest, PermissionQueriesAreLoggedWithTheirOutcome) {
    server_.page("/", R"(<!doctype html><script>console.log("ready")</script>)");
    open(url("/"));

    const std::string state = call(
        "const status = await navigator.permissions.query({name: 'microphone'});"
        "return status.state;");
    ASSERT_TRUE(state == R"("prompt")" || state == R"("granted")" || state == R"("denied")")
        << state;
    EXPECT_EQ(call(R"(
        try {
            await navigator.permissions.query({name: 'no-such-permission'});
            return 'answered';
        } catch (e) {
            return e.name;
        })"),
              R"("TypeError")");

    ASSERT_TRUE(runUntil([&] { return diagnosticLines().size() == 7; }))
        << testing::PrintToString(diagnosticLines());
    const std::vector<std::string> lines = diagnosticLines();
    EXPECT_EQ(lines[3], consoleLine(R"(["🔐 permissions.query called in","[MAIN]","with:",)"
                                    R"("{\"name\":\"microphone\"}"])"));
    EXPECT_EQ(lines[4], consoleLine(R"(["🔐 permissions.query result in","[MAIN]",":",)"
                                    R"("microphone","=",)" +
                                    state + "]"));
    EXPECT_EQ(lines[5], consoleLine(R"(["🔐 permissions.query called in","[MAIN]","with:",)"
                                    R"("{\"name\":\"no-such-permission\"}"])"));
    EXPECT_TRUE(lines[6].starts_with(
        consoleLine(R"(["🔐 permissions.query FAILED in","[MAIN]",":","TypeError",")")))
        << lines[6];
}

TEST_F(MediaDiagnosticsTest, OnlyUnhandledRejectionsNamedAsMediaErrorsAreLogged) {
    microphone.status = MicrophoneStatus::denied;
    server_.page("/", R"(<!doctype html><script>
        window.seen = [];
        addEventListener("unhandledrejection", (event) => {
            seen.push([typeof event.reason, event.defaultPrevented]);
        });
        console.log("ready");
    </script>)");
    open(url("/"));

    call(R"(
        Promise.reject("NotAllowedError");
        Promise.reject(new TypeError("not media"));
        navigator.mediaDevices.getUserMedia({audio: true});
        Promise.reject(new DOMException("lost the device", "NotReadableError"));)");

    // The refused capture settles last: it waits for the engine's answer.
    ASSERT_TRUE(runUntil([&] { return consoleLines(R"(["🚨 )").size() == 2; }))
        << testing::PrintToString(consoleLines(R"(["🚨 )"));
    const std::vector<std::string> rejections = consoleLines(R"(["🚨 )");
    EXPECT_EQ(rejections[0],
              consoleLine(R"(["🚨 Unhandled media rejection in","[MAIN]",":","NotReadableError",)"
                          R"("lost the device"])"));
    EXPECT_TRUE(rejections[1].starts_with(
        consoleLine(R"(["🚨 Unhandled media rejection in","[MAIN]",":","NotAllowedError",")")))
        << rejections[1];
    EXPECT_EQ(call("return seen;"),
              R"([["string",false],["object",false],["object",false],["object",false]])")
        << "the page's own listener must see every rejection, undisturbed";
}

TEST_F(MediaDiagnosticsTest, MediaStreamSourceIsLoggedAndStillCarriesTheCapturedSound) {
    server_.page("/", R"(<!doctype html><script>console.log("ready")</script>)");
    open(url("/"));

    EXPECT_EQ(call(R"(
        const stream = await navigator.mediaDevices.getUserMedia({audio: true});
        const context = new AudioContext();
        const source = context.createMediaStreamSource(stream);
        window.analyser = context.createAnalyser();
        source.connect(analyser);
        await context.resume();
        return [source instanceof MediaStreamAudioSourceNode, source.mediaStream === stream,
                source.context === context];)"),
              "[true,true,true]");
    // The mock microphone plays a tone: a working source node delivers it to the analyser.
    EXPECT_TRUE(runUntil([&] {
        return call(R"(
            const samples = new Float32Array(analyser.fftSize);
            analyser.getFloatTimeDomainData(samples);
            return samples.some((s) => s !== 0);)") == "true";
    })) << "silence";

    EXPECT_EQ(
        count(consoleLine(R"(["🔊 AudioContext.createMediaStreamSource called in","[MAIN]"])")), 1);
}

}  // namespace
}  // namespace pelunna::test
