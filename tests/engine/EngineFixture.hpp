#pragma once

#include <gtest/gtest.h>
#include <webkit/webkit.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "TestServer.hpp"
#include "adapters/gtk/GtkMainQueue.hpp"
#include "adapters/webkit/WebKitEngine.hpp"
#include "adapters/webkit/WebKitSession.hpp"
#include "ports/Alerts.hpp"
#include "ports/Log.hpp"
#include "ports/MicrophoneAuthorization.hpp"
#include "web/WebView.hpp"

namespace pelunna::test {

// Hosts of the service. The test server answers for all of them as the engine's proxy, so the
// pages come from the only domain the client accepts.
inline constexpr char labHost[] = "lab.pelunnalabs.com";
inline constexpr char mediaHost[] = "media.pelunnalabs.com";

class RecordingLog final : public Log {
public:
    void print(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

// No page here opens a dialog: one that does is a fault of the test or of the client.
class UnexpectedAlerts final : public Alerts {
public:
    void runModal(const AlertSpec& alert,
                  std::function<void(const AlertResponse&)> /*done*/) override {
        ADD_FAILURE() << "unexpected alert: " << alert.messageText;
    }
};

// No page here captures media: asking for the microphone is a fault of the test or the client.
class UnexpectedMicrophoneRequests final : public MicrophoneAuthorization {
public:
    [[nodiscard]] MicrophoneStatus authorizationStatus() const override {
        return MicrophoneStatus::notDetermined;
    }
    void requestAccess(std::function<void(bool granted)> /*completion*/) override {
        ADD_FAILURE() << "unexpected microphone request";
    }
};

// The line the client prints for a console message with the given body.
std::string consoleLine(std::string_view body);

// A shown window with the overlay the engine lays its views into, and the client's web view on
// pages of a local server, built as the kiosk builds it.
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
    void closeWebView() { webView_.reset(); }
    [[nodiscard]] WebKitWebView* webKitView() const;

    // Waits for the occurrence-th line equal to the given one.
    bool waitForLine(const std::string& line, int occurrence = 1);
    [[nodiscard]] int count(const std::string& line) const;
    // Console lines whose body starts with the prefix; every console line by default.
    [[nodiscard]] std::vector<std::string> consoleLines(std::string_view bodyPrefix = "") const;
    // Console lines printed after the first `from` and before the next `to`. Other sources (the
    // load outcome, the cache removal) print at times of their own and are left out.
    [[nodiscard]] std::vector<std::string> consoleLinesBetween(const std::string& from,
                                                               const std::string& to) const;

    // Runs an async function body in the main frame; its result as JSON, or "error: ..." when it
    // throws or does not answer in time.
    std::string call(const std::string& functionBody) { return callIn(webKitView(), functionBody); }
    // The same in the main frame of another view, a popup say.
    std::string callIn(WebKitWebView* view, const std::string& functionBody);

    TestServer server_;
    RecordingLog log_;
    UnexpectedAlerts unexpectedAlerts_;
    UnexpectedMicrophoneRequests unexpectedMicrophone_;
    // What the web view is built with; a test that expects dialogs or microphone requests points
    // these at fakes of its own before it opens a page.
    Alerts* alerts_ = &unexpectedAlerts_;
    MicrophoneAuthorization* microphone_ = &unexpectedMicrophone_;
    adapters::GtkMainQueue queue_;
    GtkWindow* window_ = nullptr;
    GtkOverlay* overlay_ = nullptr;
    adapters::WebKitSession session_{DrawingPath::cpu};
    std::unique_ptr<adapters::WebKitEngine> engine_;
    std::unique_ptr<web::WebView> webView_;
};

}  // namespace pelunna::test
