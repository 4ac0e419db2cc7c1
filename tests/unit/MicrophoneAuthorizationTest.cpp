#include "microphone/DesktopMicrophoneAuthorization.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Fakes.hpp"

namespace pelunna::test {
namespace {

using microphone::DesktopMicrophoneAuthorization;
using testing::ElementsAre;
using testing::IsEmpty;

class MemoryStore final : public DecisionStore {
public:
    [[nodiscard]] std::optional<bool> decision() const override { return stored; }
    void store(bool allowed) override { stored = allowed; }
    std::optional<bool> stored;
};

class Policy final : public microphone::AdministratorPolicy, public PrivacySwitch {
public:
    [[nodiscard]] bool restricts() const override { return restricted; }
    [[nodiscard]] bool microphoneDisabledByDesktop() const override { return switchedOff; }
    bool restricted = false;
    bool switchedOff = false;
};

constexpr int dontAllow = AlertResponse::firstButton;
constexpr int allow = AlertResponse::firstButton + 1;

class MicrophoneAuthorizationTest : public testing::Test {
protected:
    std::function<void(bool)> record() {
        return [this](bool granted) { answers.push_back(granted); };
    }

    MemoryStore store;
    Policy policy;
    FakeAlerts alerts;
    FakeQueue queue;
    DesktopMicrophoneAuthorization microphone{store, policy, policy, alerts, queue};
    std::vector<bool> answers;
};

TEST_F(MicrophoneAuthorizationTest, StatusFollowsPolicySwitchAndStoredDecision) {
    EXPECT_EQ(microphone.authorizationStatus(), MicrophoneStatus::notDetermined);
    store.stored = true;
    EXPECT_EQ(microphone.authorizationStatus(), MicrophoneStatus::authorized);
    store.stored = false;
    EXPECT_EQ(microphone.authorizationStatus(), MicrophoneStatus::denied);

    store.stored = true;
    policy.switchedOff = true;
    EXPECT_EQ(microphone.authorizationStatus(), MicrophoneStatus::denied);
    policy.restricted = true;
    EXPECT_EQ(microphone.authorizationStatus(), MicrophoneStatus::restricted);
}

TEST_F(MicrophoneAuthorizationTest, AnUndecidedRequestPromptsAndStoresTheAnswer) {
    microphone.requestAccess(record());

    ASSERT_EQ(alerts.shown.size(), 1u);
    const AlertSpec& prompt = alerts.shown[0];
    EXPECT_EQ(prompt.messageText, "“Pelunna Labs” would like to access the microphone.");
    EXPECT_EQ(prompt.informativeText,
              "Pelunna Tamil Labs uses the microphone for pronunciation checking and speaking "
              "activities.");
    EXPECT_THAT(prompt.buttons, ElementsAre("Don't Allow", "Allow"));
    EXPECT_EQ(prompt.buttons.at(prompt.defaultButton), "Allow");  // Return allows
    EXPECT_THAT(answers, IsEmpty());

    alerts.answer(0, allow);
    EXPECT_THAT(answers, ElementsAre(true));
    EXPECT_EQ(store.stored, true);
    EXPECT_EQ(microphone.authorizationStatus(), MicrophoneStatus::authorized);
}

TEST_F(MicrophoneAuthorizationTest, RefusingOrClosingThePromptStoresNo) {
    microphone.requestAccess(record());
    alerts.answer(0, dontAllow);
    store.stored.reset();
    microphone.requestAccess(record());
    alerts.answer(1, -4);  // Escape or the window manager closed it
    EXPECT_THAT(answers, ElementsAre(false, false));
    EXPECT_EQ(store.stored, false);
}

TEST_F(MicrophoneAuthorizationTest, RequestsWhileThePromptIsOpenShareIt) {
    microphone.requestAccess(record());
    microphone.requestAccess(record());
    EXPECT_EQ(alerts.shown.size(), 1u);
    alerts.answer(0, allow);
    EXPECT_THAT(answers, ElementsAre(true, true));

    // A later request finds the decision and asks nobody.
    microphone.requestAccess(record());
    EXPECT_EQ(alerts.shown.size(), 1u);
}

TEST_F(MicrophoneAuthorizationTest, ADecidedRequestIsAnsweredLaterWithoutAPrompt) {
    store.stored = true;
    microphone.requestAccess(record());
    EXPECT_THAT(answers, IsEmpty());
    queue.advance(0);
    EXPECT_THAT(answers, ElementsAre(true));

    policy.restricted = true;
    microphone.requestAccess(record());
    queue.advance(0);
    EXPECT_THAT(answers, ElementsAre(true, false));
    EXPECT_THAT(alerts.shown, IsEmpty());
    EXPECT_EQ(store.stored, true);
}

}  // namespace
}  // namespace pelunna::test
