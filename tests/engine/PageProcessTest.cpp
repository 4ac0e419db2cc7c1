#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

const std::string readyLine = consoleLine(R"(["ready"])");

// Kills the engine's page processes under this test's process, found through the process tree
// as an administrator would find them; whether there were any.
bool killPageProcesses() {
    std::map<int, std::vector<std::pair<int, std::string>>> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        if (!std::isdigit(entry.path().filename().c_str()[0])) {
            continue;
        }
        std::ifstream file(entry.path() / "stat");
        const std::string stat{std::istreambuf_iterator<char>(file), {}};
        const auto open = stat.find('(');
        const auto close = stat.rfind(')');
        int parent = 0;
        char state = 0;
        if (open != stat.npos && close != stat.npos &&
            std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2 && state != 'Z') {
            children[parent].emplace_back(std::stoi(stat), stat.substr(open + 1, close - open - 1));
        }
    }
    bool killed = false;
    std::vector<int> tree{getpid()};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        for (const auto& [pid, name] : children[tree[i]]) {
            tree.push_back(pid);
            killed = (name.starts_with("WebKitWebProces") && kill(pid, SIGKILL) == 0) || killed;
        }
    }
    return killed;
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

using PageProcessTest = EngineFixture;

TEST_F(PageProcessTest, AKilledPageComesBackThriceThenWaitsForCtrlR) {
    server_.page("/", readyPage);
    load(url("/"));
    for (int death = 1; death <= 3; ++death) {
        ASSERT_TRUE(killPageProcesses()) << "no page process to kill";
        ASSERT_TRUE(waitForLine("❌ Web content process terminated: crashed", death));
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
        return Response{200,
                        "text/html",
                        server_.hits("/") > 1 ? readyPage : R"(<script>
            console.log("ready");
            setTimeout(() => { console.log("spinning"); for (;;) {} }, 200);</script>)",
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
