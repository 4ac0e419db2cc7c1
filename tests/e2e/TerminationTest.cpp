#include <glib.h>

#include <csignal>
#include <string>

#include "ClientFixture.hpp"

namespace pelunna::e2e {
namespace {

namespace fs = std::filesystem;

// Stores the token in local storage, IndexedDB and a persistent cookie. The page source spells
// the token in two pieces so that only the stored copies can hold it whole.
std::string storingPage(const std::string& suffix) {
    return R"(<!doctype html>
<meta charset="utf-8">
<script>
const token = ['lab-token', ')" +
           suffix + R"('].join('~');
localStorage.setItem('e2e', token);
document.cookie = 'e2e=' + token + '; max-age=86400; path=/';
const open = indexedDB.open('e2e', 1);
open.onupgradeneeded = () => open.result.createObjectStore('tokens');
open.onsuccess = () => {
    const transaction = open.result.transaction('tokens', 'readwrite');
    transaction.objectStore('tokens').put(token, 'token');
    transaction.oncomplete = () => console.log('stored', localStorage.getItem('e2e') === token,
                                               document.cookie.includes(token));
};
open.onerror = () => console.log('indexedDB failed', String(open.error));
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

    void launchAndStore() {
        launch();
        ASSERT_TRUE(waitForLine(std::string(consolePrefix) + R"(["stored",true,true])"));
    }

    void expectClearedAndExited() {
        EXPECT_TRUE(waitForLine(clearedOnQuitLine));
        ASSERT_TRUE(waitForExit());
        EXPECT_TRUE(exitedNormally());
        EXPECT_EQ(exitStatus(), 0);
        EXPECT_EQ(count(clearedOnQuitLine), 1);
    }

    // Every folder the client was given, not only the engine's own: data written under a wrong
    // name would escape a narrower scan.
    std::vector<fs::path> filesWithToken() const {
        return filesContaining({dataHome(), cacheHome(), configHome()}, token_);
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

// Without this, a scan that finds nothing would prove nothing.
TEST_F(Termination, StoredDataReachesDiskWhenTheClientIsKilled) {
    launchAndStore();
    ASSERT_FALSE(HasFatalFailure());
    sendSignal(SIGKILL);
    ASSERT_TRUE(waitForExit());
    EXPECT_EQ(count(clearedOnQuitLine), 0);
    EXPECT_FALSE(filesWithToken().empty()) << "token " << token_ << " is nowhere on disk";
}

TEST_F(Termination, QuitClearsStoredData) {
    launchAndStore();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitForLine(enterFullscreenLine));
    ASSERT_TRUE(pressKeys(windowId(), {"ctrl+q"}));
    expectClearedAndExited();
    const auto files = filesWithToken();
    EXPECT_TRUE(files.empty()) << "token " << token_ << " is still in\n" << describe(files);
}

TEST_F(Termination, SigtermClearsStoredData) {
    launchAndStore();
    ASSERT_FALSE(HasFatalFailure());
    sendSignal(SIGTERM);
    expectClearedAndExited();
    const auto files = filesWithToken();
    EXPECT_TRUE(files.empty()) << "token " << token_ << " is still in\n" << describe(files);
}

TEST_F(Termination, ClosingTheWindowClearsStoredData) {
    launchAndStore();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitForLine(enterFullscreenLine));
    const ToolResult close = run({"wmctrl", "-i", "-c", windowId()});
    ASSERT_TRUE(close.finished && close.exitStatus == 0) << close.err;
    expectClearedAndExited();
    const auto files = filesWithToken();
    EXPECT_TRUE(files.empty()) << "token " << token_ << " is still in\n" << describe(files);
}

}  // namespace
}  // namespace pelunna::e2e
