#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestServer.hpp"

namespace pelunna::e2e {

inline constexpr const char* clientClass = "^pelunna-labs$";
inline constexpr const char* appearedLine = "🌐 WebView appeared, entering fullscreen...";
inline constexpr const char* fullScreenLine = "✅ windowDidEnterFullScreen";
inline constexpr const char* clearedLine = "✅ All website data cleared on quit";
inline constexpr const char* loadedLine = "✅ Page loaded successfully: ";
inline constexpr const char* failedLine = "❌ Provisional navigation failed: ";

// The line a page's console.log(...) of these JSON arguments becomes.
inline std::string console(const std::string& json) {
    return "📱 WebView Console: " + json;
}

struct Tool {
    int status = -1;  // -1 when it could not run or was killed
    std::string out;
    std::string err;

    [[nodiscard]] ::testing::AssertionResult ok() const {
        return status == 0 ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << err;
    }
};

// One real client at a time, on home and XDG folders, a session bus and a start-page server of
// the test's own. Every wait ends as soon as its condition holds, or after 10 s.
class Client : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    test::TestServer& server() { return *server_; }
    // The service's server goes away and comes back, as a network does. Its port is fixed: the
    // client's start page names it.
    void stopServer() { server_.reset(); }
    void startServer() { server_ = std::make_unique<test::TestServer>(PELUNNA_E2E_PORT); }

    // The client (or argv) with its output in the log, which starts anew.
    void start(const std::vector<std::string>& argv = {PELUNNA_E2E_CLIENT});
    // As a learner who allowed the microphone before: Continue on the permission screen.
    void launch();
    // A process beside the client, ended in teardown after it.
    void spawnHelper(const std::vector<std::string>& argv);

    // The learner's answer in the desktop's permission store: "yes", "no", or "" for none.
    ::testing::AssertionResult store(const std::string& answer);
    std::string stored();

    [[nodiscard]] std::vector<std::string> lines() const;
    [[nodiscard]] std::vector<std::size_t> where(const std::string& line,
                                                 bool prefix = false) const;
    [[nodiscard]] int count(const std::string& line, bool prefix = false) const {
        return static_cast<int>(where(line, prefix).size());
    }
    ::testing::AssertionResult waitFor(const std::function<bool()>& condition,
                                       const std::string& what, double seconds = 10);
    ::testing::AssertionResult waitForLine(const std::string& line, int occurrence = 1,
                                           bool prefix = false, double seconds = 10);
    // The client's exit status, -1 unless it exits by itself within 10 s.
    int waitForExit();
    std::vector<pid_t> processes();

    // A desktop tool, its words split at spaces, with the client's environment, bounded to 10 s.
    Tool run(const std::string& command);
    std::vector<std::string> windows(const std::string& wmClass = clientClass);
    // The first of them; the client's main window.
    std::string window(const std::string& wmClass = clientClass);
    std::string dialog();
    // Whether the screen shows the colour of the client's notices and menu bar at the point.
    bool noticeAt(int x, int y);
    std::pair<int, int> display();
    bool fullScreen(const std::string& window);
    // Focuses the window and types: GTK ignores keys sent to a window that has no focus.
    ::testing::AssertionResult press(const std::string& window, const std::string& keys);

    // The administrator's policy file of the client under test; none outside a test's own.
    static std::filesystem::path policy() {
        return std::filesystem::path(PELUNNA_E2E_POLICY_DIR) / "microphone-policy";
    }
    // Its lab settings: an idle minute of this client lasts 6 s.
    static std::filesystem::path labSettings() {
        return std::filesystem::path(PELUNNA_E2E_POLICY_DIR) / "lab.conf";
    }
    static void setIdleReset(int minutes);
    [[nodiscard]] std::filesystem::path root() const { return root_; }
    // First on the client's PATH: stand-ins for desktop programs.
    [[nodiscard]] std::filesystem::path bin() const { return root_ / "bin"; }

private:
    bool exitedByNow();
    pid_t spawn(const std::vector<std::string>& argv, const std::string& log);
    // The test's folders, bus and PATH; g_strfreev frees it.
    [[nodiscard]] char** environment() const;

    std::filesystem::path root_;
    std::unique_ptr<test::TestServer> server_;
    std::vector<pid_t> helpers_;
    pid_t client_ = 0;
    std::optional<int> waitStatus_;
    std::string main_;
};

}  // namespace pelunna::e2e
