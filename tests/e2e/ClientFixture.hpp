#pragma once

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestServer.hpp"

namespace pelunna::e2e {

// Generous for a loaded two-core machine: every wait ends as soon as its condition holds.
inline constexpr double deadlineSeconds = 10.0;

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

// One real client process per test, on its own XDG folders, talking to a local server that
// answers for the client's built-in start page.
class Client : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    test::TestServer& server() { return *server_; }
    void launch();

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

    [[nodiscard]] std::filesystem::path dataHome() const { return root_ / "data"; }
    [[nodiscard]] std::filesystem::path cacheHome() const { return root_ / "cache"; }
    [[nodiscard]] std::filesystem::path configHome() const { return root_ / "config"; }

private:
    struct Process;

    std::filesystem::path root_;
    std::unique_ptr<test::TestServer> server_;
    std::shared_ptr<Process> process_;
};

// The regular files under the folders whose bytes hold the text, as UTF-8 or as UTF-16LE (the
// engine keeps some strings in UTF-16).
std::vector<std::filesystem::path> filesContaining(const std::vector<std::filesystem::path>& roots,
                                                   const std::string& text);

std::string describeLines(const std::vector<std::string>& lines);

}  // namespace pelunna::e2e
