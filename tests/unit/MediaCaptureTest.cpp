#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Fakes.hpp"
#include "web/Coordinator.hpp"

namespace pelunna::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

// The learner consented to the microphone only, for the service only. A refusal the desktop
// keeps is explained in an alert, shown once the engine holds the denial.
TEST(MediaCapture, OnlyTheServicesMicrophoneIsGrantedAndOnlyAsTheDesktopDecides) {
    using enum MicrophoneStatus;
    using enum MediaCaptureType;
    // The origin, what it asks for, the desktop's status, the learner's answer to a prompt,
    // the grant, whether an alert explains it, the last line.
    using Row = std::tuple<std::optional<std::string>, MediaCaptureType, MicrophoneStatus,
                           std::optional<bool>, bool, bool, std::string>;
    const std::string lab = "lab.pelunnalabs.com";
    const std::string cameraLine = "❌ Camera capture is not permitted, denying WebKit";
    const Row rows[] = {
        {"evilpelunnalabs.com",
         microphone,
         authorized,
         {},
         false,
         false,
         "❌ Denying media capture for: evilpelunnalabs.com"},
        {std::nullopt, microphone, authorized, {}, false, false, "❌ Denying media capture for: "},
        {lab, camera, authorized, {}, false, false, cameraLine},
        {lab, cameraAndMicrophone, authorized, {}, false, false, cameraLine},
        {lab,
         screen,
         authorized,
         {},
         false,
         false,
         "❌ Screen capture is not permitted, denying WebKit"},
        {lab, microphone, authorized, {}, true, false, "✅ OS mic authorized, granting to WebKit"},
        {lab, microphone, denied, {}, false, true, "❌ OS mic denied/restricted, denying WebKit"},
        {lab,
         microphone,
         restricted,
         {},
         false,
         true,
         "❌ OS mic denied/restricted, denying WebKit"},
        {lab, microphone, notDetermined, true, true, false,
         "✅ OS mic just authorized, granting to WebKit"},
        {lab, microphone, notDetermined, false, false, false, "❌ OS mic denied by user"},
    };
    for (const auto& [host, type, status, userAnswer, grant, alert, lastLine] : rows) {
        FakeServices services;
        services.microphone.status = status;
        web::Coordinator coordinator(services.web(), "pelunnalabs.com", "https://" + lab);
        std::vector<bool> answers;
        coordinator.requestMediaCapturePermission(host, type,
                                                  [&](bool given) { answers.push_back(given); });
        if (userAnswer) {
            services.microphone.requests.at(0)(*userAnswer);
        }
        EXPECT_THAT(services.alerts.shown, IsEmpty());
        services.queue.advance(0);
        EXPECT_THAT(answers, ElementsAre(grant));
        EXPECT_EQ(services.alerts.shown.size(), alert ? 1u : 0u);
        EXPECT_EQ(services.log.lines.back(), lastLine);
        EXPECT_EQ(services.microphone.requests.size(), userAnswer ? 1u : 0u);
    }
}

TEST(MediaCapture, DeviceNamesAreToldOnlyToTheServiceOnceTheMicrophoneIsAuthorized) {
    FakeServices services;
    web::Coordinator coordinator(services.web(), "pelunnalabs.com", "https://pelunnalabs.com");
    EXPECT_FALSE(coordinator.allowsDeviceInformation("lab.pelunnalabs.com"));
    services.microphone.status = MicrophoneStatus::authorized;
    EXPECT_TRUE(coordinator.allowsDeviceInformation("lab.pelunnalabs.com"));
    EXPECT_FALSE(coordinator.allowsDeviceInformation("evilpelunnalabs.com"));
    EXPECT_FALSE(coordinator.allowsDeviceInformation(std::nullopt));
}

}  // namespace
}  // namespace pelunna::test
