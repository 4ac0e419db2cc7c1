#pragma once

#include <gtest/gtest.h>
#include <webkit/webkit.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TestServer.hpp"
#include "platform/gtk/GtkMainQueue.hpp"
#include "platform/webkit/WebKitEngine.hpp"
#include "platform/webkit/WebKitSession.hpp"
#include "ports/Alerts.hpp"
#include "ports/Log.hpp"
#include "ports/MicrophoneAuthorization.hpp"
#include "web/WebView.hpp"

namespace pelunna::test {

// Hosts of the service. The test server answers for all of them as the engine's proxy, so the
// pages come from the only domain the client accepts.
inline constexpr char labHost[] = "lab.pelunnalabs.com";
inline constexpr char mediaHost[] = "media.pelunnalabs.com";
inline constexpr char readyPage[] = R"(<!doctype html><script>console.log("ready")</script>)";

class RecordingLog final : public Log {
public:
    void print(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

// Alerts that stay up until the test answers them, as a learner would.
class HeldAlerts final : public Alerts {
public:
    void runModal(const AlertSpec& alert, std::function<void(const AlertResponse&)> done) override {
        shown.push_back(alert);
        pending.push_back(std::move(done));
    }
    std::vector<AlertSpec> shown;
    std::vector<std::function<void(const AlertResponse&)>> pending;
};

// The desktop's microphone decision as the test sets it; requests wait for the test's answer.
class ScriptedMicrophone final : public MicrophoneAuthorization {
public:
    [[nodiscard]] MicrophoneStatus authorizationStatus() const override { return status; }
    void requestAccess(std::function<void(bool granted)> completion) override {
        held.push_back(std::move(completion));
    }
    MicrophoneStatus status = MicrophoneStatus::authorized;
    std::vector<std::function<void(bool)>> held;
};

// Counts a WebKitWebView signal's emissions whatever the client's handlers answer: proof that
// the engine asked, so that the absence of an answer's traces means something.
class SignalCount {
public:
    explicit SignalCount(const char* signal);
    ~SignalCount();
    SignalCount(const SignalCount&) = delete;
    SignalCount& operator=(const SignalCount&) = delete;
    int value = 0;

private:
    gpointer viewClass_;
    guint signal_;
    gulong hook_;
};

// The line the client prints for a console message with the given body.
std::string consoleLine(std::string_view body);

// A shown window with the overlay the engine lays its views into, and the client's web view on
// pages of a local server, built as the kiosk builds it, with the engine's mock capture devices.
class EngineFixture : public ::testing::Test {
protected:
    EngineFixture();
    ~EngineFixture() override;

    [[nodiscard]] std::string url(const std::string& path,
                                  const std::string& host = labHost) const {
        return server_.url(path, host);
    }
    // Builds a web view on the page, replacing the previous one, and waits until the page logs
    // "ready" through the console bridge.
    void open(const std::string& pageUrl);
    // Also waits for the load's end and leaves a mark that a reload or a navigation would wipe.
    void load(const std::string& pageUrl);
    // The main view's address and mark, and what they are while it shows the marked page.
    std::string shown() { return call("return [location.href, window.lessonState];"); }
    static std::string kept(const std::string& page) { return "[\"" + page + "\",\"kept\"]"; }
    [[nodiscard]] WebKitWebView* webKitView() const {
        return WEBKIT_WEB_VIEW(gtk_overlay_get_child(overlay_));
    }

    [[nodiscard]] int count(const std::string& line) const {
        return static_cast<int>(std::count(log_.lines.begin(), log_.lines.end(), line));
    }
    bool waitForLine(const std::string& line, int occurrence = 1) {
        return runUntil([&] { return count(line) >= occurrence; });
    }
    [[nodiscard]] std::size_t mark() const { return log_.lines.size(); }
    // The pages' console lines, or else the client's own lines but the cache removal's, which
    // comes at a time of its own, from the mark on.
    [[nodiscard]] std::vector<std::string> linesSince(std::size_t from, bool console) const;
    [[nodiscard]] std::vector<std::string> clientLinesSince(std::size_t from) const {
        return linesSince(from, false);
    }

    // Runs an async function body in the view's main frame; its result as JSON, or "error: ..."
    // when it throws or does not answer in time.
    std::string call(const std::string& functionBody, WebKitWebView* view = nullptr);

    TestServer server_;
    RecordingLog log_;
    HeldAlerts alerts_;
    ScriptedMicrophone microphone_;
    platform::GtkMainQueue queue_;
    GtkWindow* window_ = nullptr;
    GtkOverlay* overlay_ = nullptr;
    platform::WebKitSession session_{DrawingPath::cpu};
    std::unique_ptr<platform::WebKitEngine> engine_;
    std::unique_ptr<web::WebView> webView_;
};

}  // namespace pelunna::test
