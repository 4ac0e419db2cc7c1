#include <csignal>
#include <filesystem>
#include <fstream>

#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

// Kills the engine's page processes below the given one (behind their sandbox's launcher), found
// through the process tree as an administrator would find them; whether there were any.
bool killPageProcesses(const std::string& pid = std::to_string(getpid())) {
    bool killed = false;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + pid + "/task")) {
        std::ifstream children(task.path() / "children");
        for (std::string child; children >> child;) {
            killed = killPageProcesses(child) || killed;
            std::ifstream file("/proc/" + child + "/stat");
            const std::string stat{std::istreambuf_iterator<char>(file), {}};
            // "pid (name) state …"; a zombie is dead already.
            if (stat.find(" (WebKitWebProces) ") != stat.npos && stat[stat.rfind(')') + 2] != 'Z') {
                killed = kill(std::stoi(child), SIGKILL) == 0 || killed;
            }
        }
    }
    return killed;
}

using PageProcessTest = EngineFixture;

// The reload budget is the unit tests'; here the engine must tell a real death, and Ctrl+R must end
// a page that never yields.
TEST_F(PageProcessTest, AKilledPageComesBackAndCtrlREndsEvenASpinningPage) {
    const std::string ready = consoleLine(R"(["ready"])");
    load(url("/"));
    ASSERT_TRUE(killPageProcesses()) << "no page process to kill";
    ASSERT_TRUE(waitForLine("❌ Web content process terminated: crashed"));
    ASSERT_TRUE(waitForLine(ready, 2)) << "the page did not come back";

    // Not through call(): the page spins and never answers.
    webkit_web_view_evaluate_javascript(webKitView(), "console.log('spinning'); for (;;) {}", -1,
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(waitForLine(consoleLine(R"(["spinning"])")));
    // Ctrl+R toggles the root view's refresh state.
    webView_->update(1.0, true);
    EXPECT_TRUE(waitForLine("❌ Web content process terminated: ended by the client"));
    EXPECT_TRUE(waitForLine(ready, 3));
}

}  // namespace
}  // namespace pelunna::test
