#pragma once

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "TestServer.hpp"

namespace pelunna::e2e {

// Generous for a loaded two-core machine: every wait ends as soon as its condition holds.
inline constexpr double deadlineSeconds = 10.0;

inline constexpr const char* webViewAppearedLine = "🌐 WebView appeared, entering fullscreen...";
inline constexpr const char* enterFullscreenLine = "✅ windowDidEnterFullScreen";
inline constexpr const char* clearedOnQuitLine = "✅ All website data cleared on quit";
inline constexpr const char* consolePrefix = "📱 WebView Console: ";

struct ToolResult {
    bool finished = false;
    int exitStatus = -1;
    std::string out;
    std::string err;
};

struct Geometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

enum class Match { exact, prefix };

// The learner's microphone decision as the desktop's permission store holds it.
enum class MicrophoneDecision { undecided, granted, refused };
std::ostream& operator<<(std::ostream& out, MicrophoneDecision decision);

struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// The screen's pixels, 8 bits per channel.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    [[nodiscard]] int count(Colour colour) const;
    // The smallest rectangle around every pixel of exactly that colour.
    [[nodiscard]] std::optional<Geometry> bounds(Colour colour) const;
};

// One real client process per test, on its own XDG folders and session bus, talking to a local
// server that answers for the client's built-in start page.
class Client : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    test::TestServer& server() { return *server_; }
    // The service's server goes away and comes back, as a network does.
    void stopServer() { server_.reset(); }
    void startServer();
    // Starts the client, which opens on its permission screen.
    void start();
    // Starts the client as a learner who allowed the microphone before and continues from the
    // permission screen to the lab.
    void launch();

    // Seeds the permission store. With the client running, returns once the client has seen the
    // change too.
    ::testing::AssertionResult setMicrophoneDecision(MicrophoneDecision decision);
    MicrophoneDecision storedMicrophoneDecision();

    // Starts a process with the test's folders and bus; teardown stops it after the client.
    GSubprocess* spawnHelper(const std::vector<std::string>& argv);

    [[nodiscard]] const std::vector<std::string>& lines() const;
    [[nodiscard]] int count(const std::string& text, Match match = Match::exact) const;
    // Index of the occurrence-th matching line, if there is one.
    [[nodiscard]] std::optional<std::size_t> find(const std::string& text, int occurrence = 1,
                                                  Match match = Match::exact) const;
    ::testing::AssertionResult waitForLine(const std::string& text, int occurrence = 1,
                                           Match match = Match::exact,
                                           double seconds = deadlineSeconds);
    // Waits until the client has exited and its output is read to the end.
    ::testing::AssertionResult waitForExit(double seconds = deadlineSeconds);
    [[nodiscard]] bool exitedNormally() const;
    [[nodiscard]] int exitStatus() const;
    void sendSignal(int signal);
    // As a power cut or the out-of-memory killer would: the client and every engine process.
    void killProcessTree();

    // Runs a desktop tool while the main context keeps serving the client.
    ToolResult run(const std::vector<std::string>& argv, double seconds = deadlineSeconds);
    // The client's mapped top-level window, as the X server names it.
    std::string windowId();
    bool isFullScreen(const std::string& window);
    ::testing::AssertionResult waitForFullScreen(const std::string& window);
    std::optional<Geometry> geometry(const std::string& window);
    std::optional<Geometry> screenGeometry();
    // Focuses the window, then types the keys as a user would: GTK ignores keys sent to a window.
    ::testing::AssertionResult pressKeys(const std::string& window,
                                         const std::vector<std::string>& keys);
    // The client's mapped top-level windows: the main window and its dialogs.
    std::vector<std::string> visibleWindows();
    ::testing::AssertionResult waitForWindowCount(std::size_t count);
    std::optional<Screenshot> screenshot();
    ::testing::AssertionResult click(int x, int y);

    [[nodiscard]] std::filesystem::path root() const { return root_; }
    [[nodiscard]] std::filesystem::path homeDir() const { return root_ / "home"; }
    [[nodiscard]] std::filesystem::path dataHome() const { return root_ / "data"; }
    [[nodiscard]] std::filesystem::path cacheHome() const { return root_ / "cache"; }
    [[nodiscard]] std::filesystem::path configHome() const { return root_ / "config"; }
    [[nodiscard]] std::filesystem::path runtimeDir() const { return root_ / "runtime"; }
    // First on the client's PATH: a test puts stand-ins for desktop programs here.
    [[nodiscard]] std::filesystem::path binDir() const { return root_ / "bin"; }

    // Cleared by a fixture's constructor for a session whose bus has no permission store.
    bool offersPermissionStore_ = true;

private:
    struct Process;
    struct Helper;
    struct Bus;

    void setEnvironment(GSubprocessLauncher* launcher) const;
    void startBus();
    void stopHelpers();
    void unmountDocumentPortal();

    std::filesystem::path root_;
    std::unique_ptr<test::TestServer> server_;
    std::vector<std::shared_ptr<Helper>> helpers_;
    std::shared_ptr<Bus> bus_;
    std::shared_ptr<Process> process_;
};

// The regular files under the folders whose bytes hold the text, as UTF-8 or as UTF-16LE (the
// engine keeps some strings in UTF-16).
std::vector<std::filesystem::path> filesContaining(const std::vector<std::filesystem::path>& roots,
                                                   const std::string& text);

std::string describeLines(const std::vector<std::string>& lines);

}  // namespace pelunna::e2e
