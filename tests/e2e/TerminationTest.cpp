#include <glib.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <functional>
#include <string>

#include "ClientFixture.hpp"

namespace pelunna::e2e {
namespace {

namespace fs = std::filesystem;

// Reports what an earlier session left in local storage, a cookie and IndexedDB, then stores the
// token in all three. The source spells the token in two pieces so that only stored copies can
// hold it whole.
std::string storingPage(const std::string& suffix) {
    return R"(<!doctype html>
<meta charset="utf-8">
<script>
const token = ['lab-token', ')" +
           suffix + R"('].join('~');
const open = indexedDB.open('e2e', 1);
open.onupgradeneeded = () => open.result.createObjectStore('tokens');
open.onerror = () => console.log('indexedDB failed', String(open.error));
open.onsuccess = () => {
    const read = open.result.transaction('tokens').objectStore('tokens').get('token');
    read.onsuccess = () => {
        console.log('found', localStorage.getItem('e2e'), document.cookie, read.result ?? null);
        localStorage.setItem('e2e', token);
        document.cookie = 'e2e=' + token + '; max-age=86400; path=/';
        const write = open.result.transaction('tokens', 'readwrite');
        write.objectStore('tokens').put(token, 'token');
        write.oncomplete = () => console.log('stored', localStorage.getItem('e2e') === token,
                                             document.cookie.includes(token));
    };
};
</script>
)";
}

class Termination : public Client {
protected:
    void SetUp() override {
        Client::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        char suffix[16];
        g_snprintf(suffix, sizeof suffix, "%08x", g_random_int());
        token_ = std::string("lab-token~") + suffix;
        server().page("/start.html", storingPage(suffix));
    }

    // A fresh session finds nothing, then stores the token.
    void launchAndStore() {
        launch();
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_TRUE(waitForLine(std::string(consolePrefix) + R"(["found",null,"",null])"));
        ASSERT_TRUE(waitForLine(std::string(consolePrefix) + R"(["stored",true,true])"));
    }

    void expectClearedAndExited() {
        EXPECT_TRUE(waitForLine(clearedOnQuitLine));
        ASSERT_TRUE(waitForExit());
        EXPECT_TRUE(exitedNormally());
        EXPECT_EQ(exitStatus(), 0);
        EXPECT_EQ(count(clearedOnQuitLine), 1);
    }

    // Every folder the client was given, and the machine's temporary folders.
    std::vector<fs::path> filesWithToken() const {
        std::vector<fs::path> roots = {root(), "/tmp", "/var/tmp"};
        if (const char* tmp = g_getenv("TMPDIR")) {
            roots.emplace_back(tmp);
        }
        // The client's folders are under /tmp too.
        auto files = filesContaining(roots, token_);
        std::sort(files.begin(), files.end());
        files.erase(std::unique(files.begin(), files.end()), files.end());
        return files;
    }

    static std::string describe(const std::vector<fs::path>& files) {
        std::string text;
        for (const auto& file : files) {
            text += "  " + file.string() + "\n";
        }
        return text;
    }

    std::string token_;
};

TEST_F(Termination, AKilledClientLeavesNothingForTheNextLearner) {
    launchAndStore();
    ASSERT_FALSE(HasFatalFailure());
    killProcessTree();
    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(count(clearedOnQuitLine), 0);

    // Without a file the scan must find, finding nothing would prove nothing.
    const fs::path planted = homeDir() / "planted";
    std::ofstream(planted) << token_;
    const auto files = filesWithToken();
    EXPECT_EQ(files, std::vector<fs::path>{planted}) << "token " << token_ << " is in\n"
                                                     << describe(files);
    fs::remove(planted);

    launchAndStore();
}

// Each way out: the menu's shortcut, logout's signal, the window's close button.
TEST_F(Termination, QuittingClearsStoredData) {
    const std::vector<std::pair<std::string, std::function<void()>>> ways = {
        {"Ctrl+Q", [this] { EXPECT_TRUE(pressKeys(windowId(), {"ctrl+q"})); }},
        {"SIGTERM", [this] { sendSignal(SIGTERM); }},
        {"close button",
         [this] {
             const ToolResult close = run({"wmctrl", "-i", "-c", windowId()});
             EXPECT_TRUE(close.finished && close.exitStatus == 0) << close.err;
         }},
    };
    for (const auto& [name, quit] : ways) {
        SCOPED_TRACE(name);
        launchAndStore();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(waitForLine(enterFullscreenLine));
        quit();
        expectClearedAndExited();
        ASSERT_FALSE(HasFatalFailure());
        const auto files = filesWithToken();
        EXPECT_TRUE(files.empty()) << "token " << token_ << " is still in\n" << describe(files);
    }
}

// A page that never yields must not hold the learner's data past the quit.
TEST_F(Termination, QuitEndsASpinningPageAndClearsItsData) {
    server().page("/start.html", R"(<!doctype html><script>
        console.log('spinning');
        setTimeout(() => { for (;;) {} }, 100);
    </script>)");
    launch();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitForLine(std::string(consolePrefix) + R"(["spinning"])"));
    ASSERT_TRUE(waitForLine(enterFullscreenLine));
    ASSERT_TRUE(pressKeys(windowId(), {"ctrl+q"}));
    expectClearedAndExited();
}

}  // namespace
}  // namespace pelunna::e2e
