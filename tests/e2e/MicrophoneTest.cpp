#include <glib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "ClientFixture.hpp"

namespace pelunna::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* requestLine = "🎤 Media capture requested by: localhost, type: microphone";
constexpr const char* grantedLine = "✅ OS mic authorized, granting to WebKit";
constexpr const char* deniedLine = "❌ OS mic denied/restricted, denying WebKit";
constexpr const char* enteringLine = "🖥️ Entering fullscreen, styleMask: 32779";
constexpr const char* exitLinePrefix = "⚠️ windowWillExitFullScreen, allowExit: ";
constexpr const char* allowedExitLine = "⚠️ windowWillExitFullScreen, allowExit: true";
constexpr const char* refusedExitLine = "⚠️ windowWillExitFullScreen, allowExit: false";
constexpr const char* micGrantedLine = "✅ Mic granted";

// The permission screen's palette.
constexpr Colour headerIcon{102, 153, 255};
constexpr Colour primaryButton{51, 128, 255};
constexpr Colour secondaryButton{64, 64, 77};
constexpr Colour grantedRow{77, 230, 102};
constexpr Colour refusedRow{255, 102, 102};

constexpr double toneHz = 440;

std::string console(const std::string& json) {
    return std::string(consolePrefix) + json;
}

// Five times a second: the microphone's RMS level and its loudest frequency.
constexpr const char* recordingPage = R"(<!doctype html>
<meta charset="utf-8">
<script>
navigator.mediaDevices.getUserMedia({audio: true}).then(async (stream) => {
    const context = new AudioContext();
    await context.resume();
    const analyser = context.createAnalyser();
    analyser.fftSize = 2048;
    context.createMediaStreamSource(stream).connect(analyser);
    const wave = new Float32Array(analyser.fftSize);
    const spectrum = new Float32Array(analyser.frequencyBinCount);
    setInterval(() => {
        analyser.getFloatTimeDomainData(wave);
        analyser.getFloatFrequencyData(spectrum);
        let energy = 0;
        for (const sample of wave) {
            energy += sample * sample;
        }
        let loudest = 0;
        spectrum.forEach((level, bin) => { if (level > spectrum[loudest]) loudest = bin; });
        console.log('level', Math.round(Math.sqrt(energy / wave.length) * 1e4) / 1e4,
                    Math.round(loudest * context.sampleRate / analyser.fftSize));
    }, 200);
}, (error) => console.log('refused', error.name));
</script>
)";

constexpr const char* askingPage = R"(<!doctype html>
<meta charset="utf-8">
<script>
navigator.mediaDevices.getUserMedia({audio: true}).then(
    (stream) => console.log('tracks', stream.getAudioTracks().length),
    (error) => console.log('refused', error.name));
</script>
)";

constexpr const char* quietPage = R"(<!doctype html>
<meta charset="utf-8">
<script>console.log('ready');</script>
)";

enum class Section { undecided, granted, refused };

std::ostream& operator<<(std::ostream& out, Section section) {
    switch (section) {
        case Section::undecided:
            return out << "undecided";
        case Section::granted:
            return out << "granted";
        case Section::refused:
            return out << "refused";
    }
    return out;
}

bool shows(const Screenshot& shot, Section section) {
    const bool header = shot.count(headerIcon) > 0;
    const bool primary = shot.count(primaryButton) > 0;
    const bool secondary = shot.count(secondaryButton) > 0;
    const bool granted = shot.count(grantedRow) > 0;
    const bool refused = shot.count(refusedRow) > 0;
    switch (section) {
        case Section::undecided:
            return header && primary && !secondary && !granted && !refused;
        case Section::granted:
            return header && primary && !secondary && granted && !refused;
        case Section::refused:
            return header && primary && secondary && !granted && refused;
    }
    return false;
}

std::string describe(const std::optional<Screenshot>& shot) {
    if (!shot) {
        return "no screenshot";
    }
    return "pixels of the header icon: " + std::to_string(shot->count(headerIcon)) +
           ", primary button: " + std::to_string(shot->count(primaryButton)) +
           ", secondary button: " + std::to_string(shot->count(secondaryButton)) +
           ", granted row: " + std::to_string(shot->count(grantedRow)) +
           ", refused row: " + std::to_string(shot->count(refusedRow));
}

struct Level {
    double rms = 0;
    double hz = 0;
};

class Microphone : public Client {
protected:
    void SetUp() override {
        Client::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        std::error_code ignored;
        fs::remove(policyFile(), ignored);
        // Stand-ins for the desktop's settings programs: they only note that they were opened.
        for (const char* program : {"gnome-control-center", "pavucontrol"}) {
            const fs::path stub = binDir() / program;
            std::ofstream(stub) << "#!/bin/sh\necho \"$(basename \"$0\") $*\" >> '"
                                << settingsRecord().string() << "'\n";
            fs::permissions(stub, fs::perms::owner_all);
        }
    }

    void TearDown() override {
        Client::TearDown();
        std::error_code ignored;
        fs::remove(policyFile(), ignored);
    }

    static fs::path policyFile() { return fs::path(PELUNNA_E2E_POLICY_DIR) / "microphone-policy"; }
    [[nodiscard]] fs::path settingsRecord() const { return root() / "settings-opened"; }

    [[nodiscard]] std::string settingsOpened() const {
        std::ifstream in(settingsRecord());
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    ::testing::AssertionResult waitForSettings() {
        if (test::runUntil([&] { return !settingsOpened().empty(); }, deadlineSeconds)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "no settings program was started within " << deadlineSeconds << " s";
    }

    // With the test's folders: the server's socket is in its runtime folder, and the client
    // library keeps a cookie in the configuration folder.
    ToolResult pactl(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv = {"env", "XDG_RUNTIME_DIR=" + runtimeDir().string(),
                                         "XDG_CONFIG_HOME=" + configHome().string(), "pactl"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return run(argv);
    }

    // A sound server in the test's runtime folder, where the client and its sandboxed web
    // process look for one, with a virtual microphone fed by whatever plays into its sink.
    ::testing::AssertionResult startSoundServer() {
        spawnHelper({"pulseaudio", "--daemonize=no", "--system=false", "--exit-idle-time=-1",
                     "--realtime=no", "--high-priority=no", "--use-pid-file=no", "-n",
                     "--load=module-native-protocol-unix",
                     "--load=module-null-sink sink_name=virtmic_sink",
                     "--load=module-remap-source master=virtmic_sink.monitor source_name=virtmic "
                     "source_properties='device.description=\"Virtual Microphone\"'"});
        ToolResult info;
        const bool up = test::runUntil(
            [&] {
                info = pactl({"info"});
                if (info.finished && info.exitStatus == 0) {
                    return true;
                }
                test::runUntil([] { return false; }, 0.1);
                return false;
            },
            deadlineSeconds);
        if (!up) {
            return ::testing::AssertionFailure() << "pulseaudio did not answer: " << info.err;
        }
        const ToolResult source = pactl({"set-default-source", "virtmic"});
        if (!source.finished || source.exitStatus != 0) {
            return ::testing::AssertionFailure() << "no virtual microphone: " << source.err;
        }
        return ::testing::AssertionSuccess();
    }

    // Outlasts every wait of the test that listens to it.
    ::testing::AssertionResult playTone() {
        const std::string tone = (root() / "tone.wav").string();
        const ToolResult made = run({"sox", "-n", "-r", "48000", "-c", "1", "-b", "16", tone,
                                     "synth", "30", "sine", std::to_string(toneHz), "vol", "0.5"});
        if (!made.finished || made.exitStatus != 0) {
            return ::testing::AssertionFailure() << "sox failed: " << made.err;
        }
        if (spawnHelper({"paplay", "--device=virtmic_sink", tone}) == nullptr) {
            return ::testing::AssertionFailure() << "cannot start paplay";
        }
        return ::testing::AssertionSuccess();
    }

    [[nodiscard]] std::vector<Level> levels() const {
        const std::string prefix = console("[\"level\",");
        std::vector<Level> found;
        for (const auto& line : lines()) {
            Level level;
            if (line.starts_with(prefix) &&
                std::sscanf(line.c_str() + prefix.size(), "%lf,%lf", &level.rms, &level.hz) == 2) {
                found.push_back(level);
            }
        }
        return found;
    }

    ::testing::AssertionResult waitForLevel(const std::function<bool(const Level&)>& wanted,
                                            const std::string& what) {
        const bool heard = test::runUntil(
            [&] {
                const auto all = levels();
                return std::any_of(all.begin(), all.end(), wanted);
            },
            deadlineSeconds);
        if (heard) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "the page reported no " << what << " level within "
                                             << deadlineSeconds << " s; the client printed:\n"
                                             << describeLines(lines());
    }

    // From the undecided section, Return asks the desktop: the prompt opens beside the window,
    // whose id is returned.
    std::string openPrompt() {
        EXPECT_TRUE(waitForSection(Section::undecided));
        const std::string window = windowId();
        EXPECT_TRUE(pressKeys(window, {"Return"}));
        EXPECT_TRUE(waitForWindowCount(2));
        return window;
    }

    // The permission screen once it shows the section, told apart by its colours: the rows'
    // and the buttons'. The pointer goes off every button first, since hovering changes a
    // button's colour; without --sync, which waits forever when the pointer is there already.
    std::optional<Screenshot> waitForSection(Section section) {
        run({"xdotool", "mousemove", "0", "799"});
        std::optional<Screenshot> shot;
        const bool seen = test::runUntil(
            [&] {
                shot = screenshot();
                if (shot && shows(*shot, section)) {
                    return true;
                }
                test::runUntil([] { return false; }, 0.1);
                return false;
            },
            deadlineSeconds);
        if (!seen) {
            ADD_FAILURE() << "the permission screen does not show the " << section
                          << " section after " << deadlineSeconds << " s; " << describe(shot);
            return std::nullopt;
        }
        return shot;
    }

    ::testing::AssertionResult clickCentre(const Screenshot& shot, Colour colour) {
        const auto box = shot.bounds(colour);
        if (!box) {
            return ::testing::AssertionFailure() << "nothing of that colour on the screen";
        }
        return click(box->x + box->width / 2, box->y + box->height / 2);
    }

    // The dialog of the client's two visible windows.
    std::string dialogBeside(const std::string& mainWindow) {
        for (const auto& window : visibleWindows()) {
            if (window != mainWindow) {
                return window;
            }
        }
        ADD_FAILURE() << "no window besides " << mainWindow;
        return {};
    }

    // Takes the window out of full screen from outside until the restored lock undoes it. An
    // exit the lifted lock still allows is put back by hand and tried again shortly after.
    ::testing::AssertionResult waitUntilExitIsUndone(const std::string& window) {
        const gint64 deadline =
            g_get_monotonic_time() + static_cast<gint64>(deadlineSeconds * G_USEC_PER_SEC);
        while (g_get_monotonic_time() < deadline) {
            const int exits = count(exitLinePrefix, Match::prefix);
            const ToolResult exit = run({"wmctrl", "-i", "-r", window, "-b", "remove,fullscreen"});
            if (!exit.finished || exit.exitStatus != 0) {
                return ::testing::AssertionFailure() << "wmctrl failed: " << exit.err;
            }
            auto seen = waitForLine(exitLinePrefix, exits + 1, Match::prefix);
            if (!seen) {
                return seen;
            }
            if (lines()[*find(exitLinePrefix, exits + 1, Match::prefix)] == refusedExitLine) {
                return waitForFullScreen(window);
            }
            run({"wmctrl", "-i", "-r", window, "-b", "add,fullscreen"});
            auto back = waitForFullScreen(window);
            if (!back) {
                return back;
            }
            test::runUntil([] { return false; }, 0.2);
        }
        return ::testing::AssertionFailure()
               << "the full-screen lock was not back within " << deadlineSeconds << " s";
    }
};

// The sound played into the virtual microphone reaches the page: silence before, the tone's
// level and frequency after.
TEST_F(Microphone, GrantedPageHearsTheVirtualMicrophone) {
    server().page("/start.html", recordingPage);
    ASSERT_TRUE(startSoundServer());
    ASSERT_TRUE(setMicrophoneDecision(MicrophoneDecision::granted));
    start();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitForSection(Section::granted));
    ASSERT_TRUE(pressKeys(windowId(), {"Return"}));

    ASSERT_TRUE(waitForLine(requestLine));
    ASSERT_TRUE(waitForLine(grantedLine));
    EXPECT_LT(*find(requestLine), *find(grantedLine));
    EXPECT_TRUE(waitForLine(console(
        R"(["✅ getUserMedia SUCCESS in","[MAIN]","- tracks:","audio:Virtual Microphone"])")));
    ASSERT_TRUE(waitForLevel([](const Level& level) { return level.rms < 0.001; }, "silent"));

    ASSERT_TRUE(playTone());
    ASSERT_TRUE(waitForLevel(
        [](const Level& level) { return level.rms > 0.05 && std::abs(level.hz - toneHz) < 30; },
        "440 Hz"));
    EXPECT_EQ(count(requestLine), 1);
    EXPECT_EQ(count(deniedLine), 0);
}

TEST_F(Microphone, AllowingThePromptStoresYesAndContinuesByItself) {
    server().page("/start.html", quietPage);
    ASSERT_TRUE(setMicrophoneDecision(MicrophoneDecision::undecided));
    start();
    ASSERT_FALSE(HasFatalFailure());
    const std::string window = openPrompt();
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(count(webViewAppearedLine), 0);
    // The prompt's default is "Allow".
    ASSERT_TRUE(pressKeys(dialogBeside(window), {"Return"}));

    ASSERT_TRUE(waitForLine(webViewAppearedLine));
    EXPECT_TRUE(waitForWindowCount(1));
    EXPECT_EQ(storedMicrophoneDecision(), MicrophoneDecision::granted);
    EXPECT_TRUE(waitForLine(console(R"(["ready"])")));
    EXPECT_TRUE(waitForLine(enterFullscreenLine));
    EXPECT_TRUE(waitForFullScreen(window));
}

TEST_F(Microphone, RefusingThePromptStoresNoAndShowsTheRefusedSection) {
    server().page("/start.html", quietPage);
    ASSERT_TRUE(setMicrophoneDecision(MicrophoneDecision::undecided));
    start();
    ASSERT_FALSE(HasFatalFailure());
    const std::string window = openPrompt();
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(pressKeys(dialogBeside(window), {"Escape"}));

    EXPECT_TRUE(waitForSection(Section::refused));
    EXPECT_EQ(storedMicrophoneDecision(), MicrophoneDecision::refused);
    EXPECT_TRUE(waitForWindowCount(1));
    EXPECT_EQ(count(webViewAppearedLine), 0);
}

TEST_F(Microphone, RefusedStatusLeavesReturnInertAndDeniesThePage) {
    server().page("/start.html", askingPage);
    ASSERT_TRUE(startSoundServer());
    ASSERT_TRUE(setMicrophoneDecision(MicrophoneDecision::refused));
    start();
    ASSERT_FALSE(HasFatalFailure());
    const auto shot = waitForSection(Section::refused);
    ASSERT_TRUE(shot);

    // Neither button takes the keyboard focus: Return continues nowhere and opens nothing.
    const std::string window = windowId();
    ASSERT_TRUE(pressKeys(window, {"Return"}));
    EXPECT_FALSE(waitForLine(webViewAppearedLine, 1, Match::exact, 3.0));
    EXPECT_EQ(settingsOpened(), "");

    ASSERT_TRUE(clickCentre(*shot, primaryButton));
    EXPECT_TRUE(waitForSettings());
    EXPECT_EQ(count(webViewAppearedLine), 0);

    ASSERT_TRUE(clickCentre(*shot, secondaryButton));
    ASSERT_TRUE(waitForLine(webViewAppearedLine));
    ASSERT_TRUE(waitForLine(requestLine));
    ASSERT_TRUE(waitForLine(deniedLine));
    EXPECT_LT(*find(requestLine), *find(deniedLine));
    EXPECT_EQ(count(grantedLine), 0);
    EXPECT_TRUE(waitForLine(console(R"(["refused","NotAllowedError"])")));
    // "Microphone Access Required".
    EXPECT_TRUE(waitForWindowCount(2));
    EXPECT_EQ(storedMicrophoneDecision(), MicrophoneDecision::refused);
}

// The administrator's word outweighs the learner's stored yes, which stays as it was.
TEST_F(Microphone, AdministratorPolicyRestrictsDespiteAStoredYes) {
    server().page("/start.html", askingPage);
    fs::create_directories(policyFile().parent_path());
    std::ofstream(policyFile()) << "restricted\n";
    ASSERT_TRUE(startSoundServer());
    ASSERT_TRUE(setMicrophoneDecision(MicrophoneDecision::granted));
    start();
    ASSERT_FALSE(HasFatalFailure());
    const auto shot = waitForSection(Section::refused);
    ASSERT_TRUE(shot);

    ASSERT_TRUE(clickCentre(*shot, secondaryButton));
    ASSERT_TRUE(waitForLine(requestLine));
    ASSERT_TRUE(waitForLine(deniedLine));
    EXPECT_LT(*find(requestLine), *find(deniedLine));
    EXPECT_EQ(count(grantedLine), 0);
    EXPECT_TRUE(waitForLine(console(R"(["refused","NotAllowedError"])")));
    EXPECT_TRUE(waitForWindowCount(2));
    EXPECT_EQ(storedMicrophoneDecision(), MicrophoneDecision::granted);
}

using MicrophoneMenu = Microphone;

// Ctrl+Shift+M while nothing is decided: out of full screen for the prompt, back in after the
// answer, and the lock back a little later.
TEST_F(MicrophoneMenu, UndecidedLiftsTheLockForThePromptAndRestoresIt) {
    server().page("/start.html", quietPage);
    launch();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitForLine(enterFullscreenLine));
    const std::string window = windowId();
    ASSERT_TRUE(waitForFullScreen(window));
    // Reset from the desktop's privacy settings while the lab is open.
    ASSERT_TRUE(setMicrophoneDecision(MicrophoneDecision::undecided));

    ASSERT_TRUE(pressKeys(window, {"ctrl+shift+m"}));
    ASSERT_TRUE(waitForLine(allowedExitLine));
    ASSERT_TRUE(waitForWindowCount(2));
    EXPECT_FALSE(isFullScreen(window));
    EXPECT_EQ(count(enteringLine), 1);
    ASSERT_TRUE(pressKeys(dialogBeside(window), {"Return"}));

    ASSERT_TRUE(waitForLine(micGrantedLine));
    const gint64 answered = g_get_monotonic_time();
    ASSERT_TRUE(waitForLine(enteringLine, 2));
    ASSERT_TRUE(waitForLine(enterFullscreenLine, 2));
    EXPECT_LT(*find(allowedExitLine), *find(micGrantedLine));
    EXPECT_LT(*find(micGrantedLine), *find(enteringLine, 2));
    EXPECT_LT(*find(enteringLine, 2), *find(enterFullscreenLine, 2));
    EXPECT_TRUE(waitForFullScreen(window));
    EXPECT_TRUE(waitForWindowCount(1));
    EXPECT_EQ(storedMicrophoneDecision(), MicrophoneDecision::granted);

    // The lock cannot be back before a second has passed since the answer: trying earlier
    // would only take a retry.
    test::runUntil([&] { return g_get_monotonic_time() - answered >= G_USEC_PER_SEC; }, 2.0);
    EXPECT_TRUE(waitUntilExitIsUndone(window));
    EXPECT_EQ(count("❌ Mic denied"), 0);
}

TEST_F(MicrophoneMenu, GrantedConfirmsInAnAlertAndStaysInFullScreen) {
    server().page("/start.html", quietPage);
    launch();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitForLine(enterFullscreenLine));
    const std::string window = windowId();
    ASSERT_TRUE(waitForFullScreen(window));

    ASSERT_TRUE(pressKeys(window, {"ctrl+shift+m"}));
    ASSERT_TRUE(waitForWindowCount(2));
    // "Microphone Already Enabled": its only button, OK, takes Return and opens nothing.
    ASSERT_TRUE(pressKeys(dialogBeside(window), {"Return"}));
    ASSERT_TRUE(waitForWindowCount(1));
    EXPECT_TRUE(isFullScreen(window));
    EXPECT_EQ(count(exitLinePrefix, Match::prefix), 0);
    EXPECT_EQ(settingsOpened(), "");
    EXPECT_EQ(storedMicrophoneDecision(), MicrophoneDecision::granted);
}

TEST_F(MicrophoneMenu, RefusedExplainsAndOpensTheSettings) {
    server().page("/start.html", quietPage);
    ASSERT_TRUE(setMicrophoneDecision(MicrophoneDecision::refused));
    start();
    ASSERT_FALSE(HasFatalFailure());
    const auto shot = waitForSection(Section::refused);
    ASSERT_TRUE(shot);
    ASSERT_TRUE(clickCentre(*shot, secondaryButton));
    ASSERT_TRUE(waitForLine(enterFullscreenLine));
    const std::string window = windowId();
    ASSERT_TRUE(waitForFullScreen(window));

    ASSERT_TRUE(pressKeys(window, {"ctrl+shift+m"}));
    ASSERT_TRUE(waitForWindowCount(2));
    // "Microphone Access Denied": Return chooses "Open Settings".
    ASSERT_TRUE(pressKeys(dialogBeside(window), {"Return"}));
    EXPECT_TRUE(waitForSettings());
    EXPECT_TRUE(waitForWindowCount(1));
    EXPECT_TRUE(isFullScreen(window));
    EXPECT_EQ(count(exitLinePrefix, Match::prefix), 0);
    EXPECT_EQ(storedMicrophoneDecision(), MicrophoneDecision::refused);
}

// A desktop without the permission store: the decision lives in a file of the client's own.
class MicrophoneFile : public Microphone {
protected:
    MicrophoneFile() { offersPermissionStore_ = false; }

    [[nodiscard]] fs::path decisionFile() const {
        return configHome() / "pelunna-labs" / "microphone";
    }
    [[nodiscard]] std::string storedInFile() const {
        std::ifstream in(decisionFile());
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

TEST_F(MicrophoneFile, ReadsTheRefusalFromTheFile) {
    server().page("/start.html", quietPage);
    fs::create_directories(decisionFile().parent_path());
    std::ofstream(decisionFile()) << "no\n";
    start();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(waitForSection(Section::refused));
}

TEST_F(MicrophoneFile, KeepsTheAnswerToThePromptInTheFile) {
    server().page("/start.html", quietPage);
    start();
    ASSERT_FALSE(HasFatalFailure());
    const std::string window = openPrompt();
    ASSERT_FALSE(HasFailure());
    EXPECT_FALSE(fs::exists(decisionFile()));
    ASSERT_TRUE(pressKeys(dialogBeside(window), {"Return"}));
    ASSERT_TRUE(waitForLine(webViewAppearedLine));
    EXPECT_EQ(storedInFile(), "yes\n");
}

}  // namespace
}  // namespace pelunna::e2e
