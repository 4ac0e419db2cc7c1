#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "ClientFixture.hpp"

namespace pelunna::e2e {
namespace {

namespace fs = std::filesystem;

// Five times a second, what the microphone hears: silence, a loud sound or something between.
constexpr const char* recordingPage = R"(<!doctype html><script>
navigator.mediaDevices.getUserMedia({audio: true}).then(async (stream) => {
    const context = new AudioContext();
    await context.resume();
    const analyser = context.createAnalyser();
    context.createMediaStreamSource(stream).connect(analyser);
    const wave = new Float32Array(analyser.fftSize);
    setInterval(() => {
        analyser.getFloatTimeDomainData(wave);
        const rms = Math.sqrt(wave.reduce((sum, sample) => sum + sample * sample, 0) / wave.length);
        console.log('heard', rms < 0.001 ? 'silence' : rms > 0.1 ? 'sound' : rms);
    }, 200);
}, (error) => console.log('refused', error.name));
</script>)";

// Colours of the permission screen's refused section, as "R,G,B".
constexpr const char* refusedRow = "255,102,102";
constexpr const char* primaryButton = "51,128,255";
constexpr const char* secondaryButton = "64,64,77";

class Microphone : public Client {
protected:
    void SetUp() override {
        Client::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        server().page("/start.html", recordingPage);
        // A stand-in for the desktop's settings, found first: it only notes that it was opened.
        std::ofstream(bin() / "gnome-control-center") << "#!/bin/sh\ntouch " << root() / "settings";
        fs::permissions(bin() / "gnome-control-center", fs::perms::owner_all);
    }

    // The middle of the box around the pixels of exactly that colour on the last screenshot,
    // which tools find in the test's folder.
    std::string spot(const std::string& colour) {
        int width = 0;
        int height = 0;
        int x = 0;
        int y = 0;
        std::sscanf(
            run("convert screen.ppm -fill black +opaque rgb(" + colour + ") -format %@ info:")
                .out.c_str(),
            "%dx%d+%d+%d", &width, &height, &x, &y);
        return width == 0 ? ""
                          : std::to_string(x + width / 2) + " " + std::to_string(y + height / 2);
    }

    // The refused section shows its row and its second button. Hovering changes a button's
    // colour: the pointer goes off them first, without --sync, which waits forever when the
    // pointer is there already.
    ::testing::AssertionResult waitForRefusedSection() {
        run("xdotool mousemove 0 799");
        return waitFor(
            [&] {
                return run("import -window root -depth 8 screen.ppm").ok() &&
                       !spot(refusedRow).empty() && !spot(secondaryButton).empty();
            },
            "refused section");
    }

    ::testing::AssertionResult click(const std::string& colour) {
        const std::string at = spot(colour);
        return at.empty() ? ::testing::AssertionFailure() << "no button of colour " << colour
                          : run("xdotool mousemove --sync " + at + " click 1").ok();
    }

    // From the undecided section, Return asks the desktop, whose prompt gets the key.
    ::testing::AssertionResult answerThePrompt(const std::string& key) {
        const ::testing::AssertionResult asked = press(window(), "Return");
        const std::string prompt = dialog();
        EXPECT_EQ(count(appearedLine), 0);
        return asked ? press(prompt, key) : asked;
    }

    // A sound server in the test's runtime folder, where the client and its sandboxed web process
    // look for one, with a virtual microphone fed by what plays into its sink.
    ::testing::AssertionResult startSoundServer() {
        spawnHelper({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                     "-n", "--load=module-native-protocol-unix",
                     "--load=module-null-sink sink_name=virtmic_sink",
                     "--load=module-remap-source master=virtmic_sink.monitor source_name=virtmic"});
        const auto up = waitFor([&] { return run("pactl info").ok(); }, "sound server");
        return up ? run("pactl set-default-source virtmic").ok() : up;
    }
};

// Without a session bus the answer is kept in the client's own file, where the next launch
// finds it.
TEST_F(Microphone, AGrantLetsThePageHearRealSoundAndIsKeptWithoutASessionBus) {
    ASSERT_TRUE(startSoundServer());
    setIdleReset(1);
    const std::vector<std::string> withoutBus = {
        "env", "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (root() / "none").string(),
        PELUNNA_E2E_CLIENT};
    start(withoutBus);
    ASSERT_TRUE(answerThePrompt("Return"));  // "Allow"
    // The screen continues by itself.
    ASSERT_TRUE(waitForLine(appearedLine));
    std::ifstream file(root() / "config/pelunna-labs/microphone");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "yes\n");
    ASSERT_TRUE(waitForLine("✅ OS mic authorized, granting to WebKit"));
    ASSERT_TRUE(waitForLine(console(R"(["heard","silence"])")));
    // Outlasts every wait.
    const std::string tone = root() / "tone.wav";
    ASSERT_TRUE(run("sox -n -r 48000 -c 1 " + tone + " synth 30 sine 440 vol 0.5").ok());
    spawnHelper({"paplay", "--device=virtmic_sink", tone});
    EXPECT_TRUE(waitForLine(console(R"(["heard","sound"])")));
    // A learner speaking is never idle: the seat's minute (6 s here) and its countdown pass.
    EXPECT_FALSE(waitForLine("⏱️ Starting over for the next learner", 1, false, 15));

    // The window's close button quits as Ctrl+Q does; the granted section continues on Return.
    ASSERT_TRUE(run("wmctrl -i -c " + window()).ok());
    ASSERT_EQ(waitForExit(), 0);
    EXPECT_EQ(count(clearedLine), 1);
    start(withoutBus);
    ASSERT_TRUE(press(window(), "Return"));
    EXPECT_TRUE(waitForLine(appearedLine));
}

TEST_F(Microphone, ARefusalIsKeptAndRespected) {
    ASSERT_TRUE(startSoundServer());
    start();
    ASSERT_TRUE(answerThePrompt("Escape"));  // "Don't Allow"
    ASSERT_TRUE(waitForRefusedSection());
    EXPECT_EQ(stored(), "no");
    // Neither button takes Return: had it continued, the click would land on the lab.
    ASSERT_TRUE(press(window(), "Return"));
    ASSERT_TRUE(click(primaryButton));
    EXPECT_TRUE(waitFor([&] { return fs::exists(root() / "settings"); }, "settings"));
}

// The administrator's word outweighs the learner's stored yes, which stays.
TEST_F(Microphone, AnAdministratorsPolicyOutweighsAStoredYes) {
    fs::create_directories(policy().parent_path());
    std::ofstream(policy()) << "restricted\n";
    ASSERT_TRUE(store("yes"));
    start();
    EXPECT_TRUE(waitForRefusedSection());
    EXPECT_EQ(stored(), "yes");
}

}  // namespace
}  // namespace pelunna::e2e
