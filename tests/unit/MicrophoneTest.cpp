#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "Fakes.hpp"
#include "microphone/DesktopMicrophoneAuthorization.hpp"
#include "microphone/PolicyFile.hpp"

namespace pelunna::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

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
        EXPECT_EQ(desk.alerts.shown.size(), status == notDetermined ? 1u : 0u);
        if (status != notDetermined) {
            EXPECT_THAT(desk.answers, ElementsAre(status == authorized));
            EXPECT_EQ(desk.stored, stored);
        }
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

namespace fs = std::filesystem;

ssize_t failingRead(int, void*, std::size_t) {
    errno = EIO;
    return -1;
}

TEST(PolicyFile, OnlyAMissingFileSetsNoPolicyAndAnUnreadableOneRestricts) {
    enum class Kind { none, file, directory, fifo };
    struct Case {
        const char* name;
        std::string contents;
        Kind kind;
        bool restricts;
        bool reported;
        microphone::PolicyFile::Read read = ::read;
        const char* queried = "policy";
    };
    const Case cases[] = {
        {"missing", "", Kind::none, false, false},
        {"folder is a file", "", Kind::file, false, false, ::read, "policy/policy"},
        {"restricted", "restricted\n", Kind::file, true, false},
        {"other word", "other", Kind::file, false, false},
        {"directory", "", Kind::directory, true, true},
        {"fifo", "", Kind::fifo, true, true},
        {"read error", "other", Kind::file, true, true, failingRead},
        {"past 4 KiB", std::string(4096, ' ') + "restricted", Kind::file, false, false},
    };
    const fs::path folder = fs::temp_directory_path() / ("policy-" + std::to_string(getpid()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        fs::create_directory(folder);
        const fs::path made = folder / "policy";
        if (c.kind == Kind::file) {
            std::ofstream(made) << c.contents;
        } else if (c.kind == Kind::directory) {
            fs::create_directory(made);
        } else if (c.kind == Kind::fifo) {
            ASSERT_EQ(mkfifo(made.c_str(), 0600), 0);
        }
        const std::string path = (folder / c.queried).string();
        RecordingLog log;
        const microphone::PolicyFile policy(path, log, c.read);

        EXPECT_EQ(policy.restricts(), c.restricts);
        EXPECT_EQ(policy.restricts(), c.restricts);
        const std::vector<std::string> reported{
            "❌ Microphone policy unreadable, treating as restricted: " + path};
        EXPECT_EQ(log.lines, c.reported ? reported : std::vector<std::string>{});
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace pelunna::test
