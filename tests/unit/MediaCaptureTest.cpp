#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Fakes.hpp"
#include "web/Coordinator.hpp"

namespace pelunna::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const std::string requestLine = "🎤 Media capture requested by: lab.pelunnalabs.com, type: ";

class MediaCapture : public testing::Test {
protected:
    void request(std::optional<std::string> host,
                 MediaCaptureType type = MediaCaptureType::microphone) {
        coordinator.requestMediaCapturePermission(std::move(host), type,
                                                  [this](bool grant) { answers.push_back(grant); });
    }

    FakeServices services;
    RecordingLog& log = services.log;
    FakeMicrophone& microphone = services.microphone;
    web::Coordinator coordinator{services.web(), "pelunnalabs.com", "https://lab.pelunnalabs.com/"};
    std::vector<bool> answers;
};

TEST_F(MediaCapture, ForeignOriginsAreDeniedWithoutReadingTheStatus) {
    request("evilpelunnalabs.com");
    request(std::nullopt);
    EXPECT_THAT(answers, ElementsAre(false, false));
    EXPECT_THAT(log.lines, ElementsAre("❌ Denying media capture for: evilpelunnalabs.com",
                                       "❌ Denying media capture for: "));
    EXPECT_EQ(microphone.statusReads, 0);
    EXPECT_THAT(microphone.requests, IsEmpty());
}

TEST_F(MediaCapture, AnAuthorizedMicrophoneIsGrantedAtOnce) {
    microphone.status = MicrophoneStatus::authorized;
    request("lab.pelunnalabs.com");
    EXPECT_THAT(answers, ElementsAre(true));
    EXPECT_THAT(log.lines,
                ElementsAre(requestLine + "microphone", "✅ OS mic authorized, granting to WebKit"));
}

TEST_F(MediaCapture, CameraAndScreenAreNeverOpenedOnMicrophoneConsent) {
    microphone.status = MicrophoneStatus::authorized;
    request("lab.pelunnalabs.com", MediaCaptureType::camera);
    request("lab.pelunnalabs.com", MediaCaptureType::cameraAndMicrophone);
    request("lab.pelunnalabs.com", MediaCaptureType::screen);
    EXPECT_THAT(answers, ElementsAre(false, false, false));
    EXPECT_THAT(
        log.lines,
        ElementsAre(requestLine + "camera", "❌ Camera capture is not permitted, denying WebKit",
                    requestLine + "camera and microphone",
                    "❌ Camera capture is not permitted, denying WebKit", requestLine + "screen",
                    "❌ Screen capture is not permitted, denying WebKit"));
    EXPECT_EQ(microphone.statusReads, 0);
}

TEST_F(MediaCapture, ARefusedMicrophoneIsDeniedThenExplainedOncePerRequest) {
    for (const MicrophoneStatus status : {MicrophoneStatus::denied, MicrophoneStatus::restricted}) {
        microphone.status = status;
        request("lab.pelunnalabs.com");
    }
    EXPECT_THAT(answers, ElementsAre(false, false));
    EXPECT_EQ(log.lines[1], "❌ OS mic denied/restricted, denying WebKit");
    // The engine holds the denial before any alert is shown.
    EXPECT_THAT(services.alerts.shown, IsEmpty());
    services.queue.advance(0);
    ASSERT_EQ(services.alerts.shown.size(), 2u);
    const AlertSpec& alert = services.alerts.shown[0];
    EXPECT_EQ(alert.messageText, "Microphone Access Required");
    EXPECT_EQ(alert.informativeText,
              "This web page needs microphone access, but it was previously denied. Please enable "
              "it via the Pelunna menu > Microphone Permission, or in System Settings > Privacy & "
              "Security > Microphone.");
    EXPECT_THAT(alert.buttons, ElementsAre("OK"));
}

TEST_F(MediaCapture, AnUndecidedMicrophoneWaitsForTheUsersAnswer) {
    request("lab.pelunnalabs.com");
    request("media.lab.pelunnalabs.com");
    ASSERT_EQ(microphone.requests.size(), 2u);
    EXPECT_THAT(answers, IsEmpty());

    microphone.answer(0, true);
    microphone.requests[1](false);
    EXPECT_THAT(answers, IsEmpty());  // answered from the main queue
    services.queue.advance(0);
    EXPECT_THAT(answers, ElementsAre(true, false));
    EXPECT_THAT(log.lines, ElementsAre(requestLine + "microphone",
                                       "🎤 Media capture requested by: media.lab.pelunnalabs.com, "
                                       "type: microphone",
                                       "✅ OS mic just authorized, granting to WebKit",
                                       "❌ OS mic denied by user"));
    EXPECT_THAT(services.alerts.shown, IsEmpty());
}

TEST_F(MediaCapture, DeviceNamesFollowTheMicrophoneDecision) {
    EXPECT_FALSE(coordinator.allowsDeviceInformation("lab.pelunnalabs.com"));
    microphone.status = MicrophoneStatus::authorized;
    EXPECT_TRUE(coordinator.allowsDeviceInformation("lab.pelunnalabs.com"));
    EXPECT_FALSE(coordinator.allowsDeviceInformation("evil.test"));
    EXPECT_FALSE(coordinator.allowsDeviceInformation(std::nullopt));
    EXPECT_THAT(log.lines, IsEmpty());
}

}  // namespace
}  // namespace pelunna::test
