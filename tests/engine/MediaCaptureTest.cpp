#include <algorithm>
#include <string>
#include <vector>

#include "MediaFixture.hpp"

// A page of a foreign host never loads in the kiosk (the navigation lock refuses it as main frame,
// sub-frame and popup), so the foreign-origin denial is covered by the unit tests only.

namespace pelunna::test {
namespace {

const std::string requested = "🎤 Media capture requested by: lab.pelunnalabs.com, type: ";
const std::string authorized = "✅ OS mic authorized, granting to WebKit";
const std::string refused = "❌ OS mic denied/restricted, denying WebKit";
const std::string justAuthorized = "✅ OS mic just authorized, granting to WebKit";
const std::string refusedByUser = "❌ OS mic denied by user";
const std::string cameraRefused = "❌ Camera capture is not permitted, denying WebKit";
const std::string screenRefused = "❌ Screen capture is not permitted, denying WebKit";
const std::string mockMicrophone = R"(["audio:Mock audio device 1"])";

const std::string page = R"(<!doctype html><script>console.log("ready")</script>)";

// Device labels the page can see, one per device.
const std::string deviceLabels =
    "return (await navigator.mediaDevices.enumerateDevices()).map((d) => d.label);";

class MediaCaptureTest : public MediaFixture {
protected:
    // What the bridge printed, in order.
    [[nodiscard]] std::vector<std::string> bridgeLines() const {
        std::vector<std::string> lines;
        std::copy_if(log_.lines.begin(), log_.lines.end(), std::back_inserter(lines),
                     [](const std::string& line) {
                         return line.starts_with("🎤 Media capture") ||
                                line.starts_with("❌ Denying media") ||
                                line.starts_with("✅ OS mic") || line.starts_with("❌ OS mic") ||
                                line.starts_with("❌ Camera") || line.starts_with("❌ Screen");
                     });
        return lines;
    }

    [[nodiscard]] std::size_t indexOf(const std::string& line) const {
        return static_cast<std::size_t>(std::find(log_.lines.begin(), log_.lines.end(), line) -
                                        log_.lines.begin());
    }

    // Starts a microphone request the page keeps waiting on; settle() gives its outcome.
    void startCapture() {
        call(
            "window.capture = navigator.mediaDevices.getUserMedia({audio: true}).then("
            "  (stream) => stream.getTracks().map((t) => t.kind + ':' + t.label),"
            "  (error) => error.name);");
    }
    std::string settle() { return call("return await window.capture;"); }
    std::string pending() {
        return call("return await Promise.race([window.capture, Promise.resolve('pending')]);");
    }

    void expectMicrophoneDeniedAlert(const RecordingAlerts::Shown& shown) {
        EXPECT_EQ(shown.alert.messageText, "Microphone Access Required");
        EXPECT_EQ(shown.alert.informativeText,
                  "This web page needs microphone access, but it was previously denied. Please "
                  "enable it via the Pelunna menu > Microphone Permission, or in System Settings > "
                  "Privacy & Security > Microphone.");
        EXPECT_EQ(shown.alert.buttons, std::vector<std::string>{"OK"});
    }
};

TEST_F(MediaCaptureTest, AuthorizedMicrophoneIsGrantedAtOnceAndRevealsDeviceLabels) {
    server_.page("/", page);
    open(url("/"));
    EXPECT_EQ(call(deviceLabels), R"(["",""])") << "labels before any capture";

    EXPECT_EQ(capture("{audio: true}"), mockMicrophone);

    EXPECT_EQ(bridgeLines(), (std::vector<std::string>{requested + "microphone", authorized}));
    EXPECT_TRUE(microphone.held.empty()) << "an authorized microphone needs no prompt";
    EXPECT_TRUE(alerts.shown.empty());
    const std::string labels = call(deviceLabels);
    EXPECT_NE(labels.find("Mock audio device 1"), std::string::npos) << labels;
}

TEST_F(MediaCaptureTest, DeniedMicrophoneIsRefusedAndEachRefusalThenShowsTheAlert) {
    microphone.status = MicrophoneStatus::denied;
    server_.page("/", page);
    open(url("/"));

    EXPECT_EQ(capture("{audio: true}"), R"("NotAllowedError")");
    ASSERT_TRUE(runUntil([&] { return !alerts.shown.empty(); })) << "no alert";
    EXPECT_EQ(bridgeLines(), (std::vector<std::string>{requested + "microphone", refused}));
    expectMicrophoneDeniedAlert(alerts.shown[0]);
    EXPECT_GT(alerts.shown[0].linesBefore, indexOf(refused)) << "the alert came before the denial";
    EXPECT_FALSE(alerts.shown[0].duringPermissionRequest) << "the engine waited on the alert";
    EXPECT_EQ(call(deviceLabels), R"(["",""])") << "a refused page learns the device names";

    // The engine asks again: every request is judged afresh and alerts once more.
    EXPECT_EQ(capture("{audio: true}"), R"("NotAllowedError")");
    EXPECT_TRUE(runUntil([&] { return alerts.shown.size() == 2; })) << "second alert missing";
    EXPECT_EQ(count(refused), 2);
    EXPECT_TRUE(microphone.held.empty()) << "a stored refusal needs no prompt";
}

TEST_F(MediaCaptureTest, UndecidedMicrophoneKeepsThePageWaitingUntilTheLearnerAllows) {
    microphone.status = MicrophoneStatus::notDetermined;
    server_.page("/", page);
    open(url("/"));

    startCapture();
    ASSERT_TRUE(runUntil([&] { return !microphone.held.empty(); })) << "the learner was not asked";
    EXPECT_EQ(bridgeLines(), std::vector<std::string>{requested + "microphone"});
    EXPECT_EQ(pending(), R"("pending")");

    microphone.answer(true);

    EXPECT_EQ(settle(), mockMicrophone);
    EXPECT_EQ(bridgeLines(), (std::vector<std::string>{requested + "microphone", justAuthorized}));
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(MediaCaptureTest, UndecidedMicrophoneRefusedByTheLearnerIsDeniedWithoutAlertUntilAsked) {
    microphone.status = MicrophoneStatus::notDetermined;
    server_.page("/", page);
    open(url("/"));

    startCapture();
    ASSERT_TRUE(runUntil([&] { return !microphone.held.empty(); })) << "the learner was not asked";
    EXPECT_EQ(pending(), R"("pending")");

    microphone.answer(false);

    EXPECT_EQ(settle(), R"("NotAllowedError")");
    EXPECT_EQ(bridgeLines(), (std::vector<std::string>{requested + "microphone", refusedByUser}));
    // A server round trip gives an alert queued by mistake time to show.
    call("await fetch('/probe');");
    EXPECT_TRUE(alerts.shown.empty()) << "the learner has just refused; no alert is due";

    // The refusal is stored: the next request finds it and explains where to change it.
    EXPECT_EQ(capture("{audio: true}"), R"("NotAllowedError")");
    EXPECT_TRUE(runUntil([&] { return alerts.shown.size() == 1; })) << "no alert";
    EXPECT_EQ(bridgeLines().back(), refused);
}

TEST_F(MediaCaptureTest, CameraRequestsAreRefusedWithoutConsultingTheMicrophone) {
    // Undecided, so that consulting it would have to prompt the learner.
    microphone.status = MicrophoneStatus::notDetermined;
    server_.page("/", page);
    open(url("/"));

    EXPECT_EQ(capture("{video: true}"), R"("NotAllowedError")");
    EXPECT_EQ(capture("{audio: true, video: true}"), R"("NotAllowedError")");

    EXPECT_EQ(bridgeLines(),
              (std::vector<std::string>{requested + "camera", cameraRefused,
                                        requested + "camera and microphone", cameraRefused}));
    EXPECT_EQ(microphone.statusReads, 0);
    EXPECT_TRUE(microphone.held.empty());
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(MediaCaptureTest, ScreenCaptureIsRefusedWithoutConsultingTheMicrophone) {
    microphone.status = MicrophoneStatus::notDetermined;
    server_.page("/", page);
    open(url("/"));

    EXPECT_EQ(
        call(
            "try { await navigator.mediaDevices.getDisplayMedia({video: true}); return 'granted'; }"
            "catch (e) { return e.name; }"),
        R"("NotAllowedError")");

    EXPECT_EQ(bridgeLines(), (std::vector<std::string>{requested + "screen", screenRefused}));
    EXPECT_EQ(microphone.statusReads, 0);
    EXPECT_TRUE(microphone.held.empty());
    EXPECT_TRUE(alerts.shown.empty());
}

// The engine names no origin: a frame of another host of the service is judged by the page
// around it, and gets the microphone through the allow attribute the page scripts add.
TEST_F(MediaCaptureTest, IframeOfAnotherServiceHostCapturesUnderThePagesDecision) {
    server_.page("/frame", R"(<!doctype html><script>
        navigator.mediaDevices.getUserMedia({audio: true}).then(
            (stream) => console.log("frame got", stream.getAudioTracks().length),
            (error) => console.log("frame refused", error.name));
    </script>)");
    server_.page("/", "<!doctype html><iframe src=\"" + url("/frame", mediaHost) +
                          "\"></iframe><script>console.log('ready')</script>");
    open(url("/"));

    EXPECT_TRUE(waitForLine(consoleLine(R"(["frame got",1])")));
    EXPECT_EQ(bridgeLines(), (std::vector<std::string>{requested + "microphone", authorized}));
}

}  // namespace
}  // namespace pelunna::test
