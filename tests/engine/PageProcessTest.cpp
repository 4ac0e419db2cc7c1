#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "NavigationFixture.hpp"

namespace pelunna::test {
namespace {

namespace fs = std::filesystem;

const std::string crashedLine = "❌ Web content process terminated: crashed";
const std::string readyLine = consoleLine(R"(["ready"])");

// The engine's page processes this test started, found through the process tree as an
// administrator would find them.
std::vector<int> pageProcesses() {
    std::vector<int> tree = {getpid()};
    std::vector<int> pages;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/proc", error)) {
            const std::string name = entry.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            std::ifstream stat(entry.path() / "stat");
            const std::string text((std::istreambuf_iterator<char>(stat)), {});
            const auto close = text.rfind(')');
            char state = 0;
            int parent = 0;
            if (close == std::string::npos ||
                std::sscanf(text.c_str() + close + 1, " %c %d", &state, &parent) != 2 ||
                parent != tree[i]) {
                continue;
            }
            tree.push_back(std::atoi(name.c_str()));
            std::string command;
            std::getline(std::ifstream(entry.path() / "comm"), command);
            if (command.starts_with("WebKitWebProces") && state != 'Z') {
                pages.push_back(tree.back());
            }
        }
    }
    return pages;
}

bool killPageProcesses() {
    const std::vector<int> pages = pageProcesses();
    for (const int pid : pages) {
        kill(pid, SIGKILL);
    }
    return !pages.empty();
}

GtkWidget* visibleNotice(GtkOverlay* overlay) {
    for (GtkWidget* child = gtk_widget_get_first_child(GTK_WIDGET(overlay)); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        if (GTK_IS_LABEL(child) && gtk_widget_get_visible(child)) {
            return child;
        }
    }
    return nullptr;
}

using PageProcessTest = NavigationFixture;

TEST_F(PageProcessTest, AKilledPageComesBackThriceThenWaitsForCtrlR) {
    server_.page("/", R"(<!doctype html><script>console.log("ready")</script>)");
    load(url("/"));
    for (int death = 1; death <= 3; ++death) {
        ASSERT_TRUE(killPageProcesses()) << "no page process to kill";
        ASSERT_TRUE(waitForLine(crashedLine, death));
        ASSERT_TRUE(waitForLine(readyLine, death + 1)) << "the page did not come back " << death;
    }
    ASSERT_TRUE(killPageProcesses());
    ASSERT_TRUE(waitForLine("❌ Not reloading again after 3 crashes in 60 s"));
    GtkWidget* notice = visibleNotice(overlay_);
    ASSERT_NE(notice, nullptr);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(notice)),
                 "The lab stopped working. Press Ctrl+R to try again.");
    EXPECT_EQ(server_.hits("/"), 4);

    webView_->update(1.0, true);
    EXPECT_TRUE(waitForLine(readyLine, 5));
    EXPECT_EQ(visibleNotice(overlay_), nullptr);
}

TEST_F(PageProcessTest, CtrlRBringsBackAPageThatNeverYields) {
    // Only the first copy spins.
    server_.route("/", [this](const ServedRequest&) {
        const bool first = server_.hits("/") == 1;
        return Response{
            200,
            "text/html; charset=utf-8",
            std::string(R"(<!doctype html><script>console.log("ready");)") +
                (first ? "setTimeout(() => { console.log('spinning'); for (;;) {} }, 200);" : "") +
                "</script>",
            {}};
    });
    open(url("/"));
    ASSERT_TRUE(waitForLine(consoleLine(R"(["spinning"])")));

    webView_->update(1.0, true);
    EXPECT_TRUE(waitForLine("❌ Web content process terminated: ended by the client"));
    EXPECT_TRUE(waitForLine(readyLine, 2));
}

}  // namespace
}  // namespace pelunna::test
