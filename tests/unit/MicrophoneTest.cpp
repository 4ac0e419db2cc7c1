#include "Fakes.hpp"
#include "microphone/DesktopMicrophoneAuthorization.hpp"
#include "platform/glib/PermissionStoreMessages.hpp"

namespace pelunna::test {
namespace {

// The desktop around the authorization: its stored decision, policy file and privacy switch.
struct Desk final : microphone::AdministratorPolicy, PrivacySwitch, DecisionStore {
    [[nodiscard]] bool restricts() const override { return restricted; }
    [[nodiscard]] bool microphoneDisabledByDesktop() const override { return switchedOff; }
    [[nodiscard]] std::optional<bool> decision() const override { return stored; }
    void store(bool allowed) override { stored = allowed; }
    void request() {
        microphone.requestAccess([this](bool granted) { answers.push_back(granted); });
    }

    bool restricted = false;
    bool switchedOff = false;
    std::optional<bool> stored;
    FakeAlerts alerts;
    FakeQueue queue;
    microphone::DesktopMicrophoneAuthorization microphone{*this, *this, *this, alerts, queue};
    std::vector<bool> answers;
};

// The administrator's policy outweighs the desktop's switch, which outweighs the stored answer;
// a decided request is answered later, as a prompt would be, without one.
TEST(MicrophoneAuthorization, PolicyThenSwitchThenStoredAnswer) {
    using enum MicrophoneStatus;
    // The policy restricts, the desktop's switch is off, the stored answer; the status.
    const std::tuple<bool, bool, std::optional<bool>, MicrophoneStatus> rows[] = {
        {false, false, std::nullopt, notDetermined},
        {false, false, true, authorized},
        {false, false, false, denied},
        {false, true, true, denied},
        {true, true, true, restricted},
        {true, false, std::nullopt, restricted},
    };
    for (const auto& [restricted, switchedOff, stored, status] : rows) {
        Desk desk;
        desk.restricted = restricted;
        desk.switchedOff = switchedOff;
        desk.stored = stored;
        EXPECT_EQ(desk.microphone.authorizationStatus(), status);
        desk.request();
        EXPECT_THAT(desk.answers, IsEmpty());
        desk.queue.advance(0);
        const bool decided = status != notDetermined;
        EXPECT_EQ(desk.alerts.shown.size(), decided ? 0u : 1u);
        EXPECT_EQ(desk.answers, decided ? std::vector{status == authorized} : std::vector<bool>{});
    }
}

// Requests made while the prompt is open share it; each is answered once; only Allow grants.
TEST(MicrophoneAuthorization, OnePromptAnswersEveryWaitingRequestOnceAndIsStored) {
    const int dontAllow = AlertResponse::firstButton;
    // Allow, Don't Allow, and closed by Escape or by the desktop.
    const std::pair<int, bool> rows[] = {{dontAllow + 1, true}, {dontAllow, false}, {-4, false}};
    for (const auto& [code, granted] : rows) {
        Desk desk;
        desk.request();
        desk.request();
        ASSERT_EQ(desk.alerts.shown.size(), 1u);
        desk.alerts.answers[0]({code, ""});
        EXPECT_EQ(desk.stored, granted);
        desk.stored.reset();
        desk.request();
        ASSERT_EQ(desk.alerts.shown.size(), 2u);
        desk.alerts.answers[1]({code, ""});
        EXPECT_EQ(desk.answers, std::vector<bool>(3, granted));
    }
}

constexpr char applicationId[] = "com.pelunnalabs.Labs";

std::unique_ptr<GVariant, decltype(&g_variant_unref)> parse(const char* text) {
    GVariant* value = g_variant_parse(nullptr, text, nullptr, nullptr, nullptr);
    EXPECT_NE(value, nullptr) << text;
    return {value, g_variant_unref};
}

TEST(PermissionStoreMessages, ChangedFollowsTheEntryAndIgnoresAnyOtherShape) {
    const std::pair<const char*, std::optional<bool>> rows[] = {
        {"('devices', 'microphone', false, <0>, {'com.pelunnalabs.Labs': ['yes']})", true},
        {"('devices', 'microphone', true, <0>, {'com.pelunnalabs.Labs': ['yes']})", std::nullopt},
        {"('location', 'microphone', false, <0>, {'com.pelunnalabs.Labs': ['yes']})", false},
        {"('devices', 'microphone')", false},
        {"('devices', 'microphone', false, <0>, {'com.pelunnalabs.Labs': 'yes'})", false},
    };
    for (const auto& [message, expected] : rows) {
        std::optional<bool> decision = false;
        platform::followChange(parse(message).get(), applicationId, decision);
        EXPECT_EQ(decision, expected) << message;
    }
}

TEST(PermissionStoreMessages, ALookupReplyOfAnotherShapeDecidesNothing) {
    const std::pair<const char*, std::optional<bool>> rows[] = {
        {"({'com.pelunnalabs.Labs': ['no']}, <0>)", false},
        // Only "yes" grants: any other answer the desktop stores refuses.
        {"({'com.pelunnalabs.Labs': ['ask']}, <0>)", false},
        {"({'com.pelunnalabs.Labs': ['no']}, 'data')", std::nullopt},
        {"({'com.pelunnalabs.Labs': 'no'}, <0>)", std::nullopt},
    };
    for (const auto& [message, expected] : rows) {
        EXPECT_EQ(platform::decisionInLookup(parse(message).get(), applicationId), expected)
            << message;
    }
}

}  // namespace
}  // namespace pelunna::test
