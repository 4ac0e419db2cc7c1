#include "EngineFixture.hpp"

#include <algorithm>
#include <iterator>

namespace pelunna::test {

std::string consoleLine(std::string_view body) {
    return "📱 WebView Console: " + std::string(body);
}

EngineFixture::EngineFixture() {
    WebKitNetworkProxySettings* proxy =
        webkit_network_proxy_settings_new(server_.url("", "127.0.0.1").c_str(), nullptr);
    webkit_network_session_set_proxy_settings(session_.networkSession(),
                                              WEBKIT_NETWORK_PROXY_MODE_CUSTOM, proxy);
    webkit_network_proxy_settings_free(proxy);

    window_ = GTK_WINDOW(gtk_window_new());
    gtk_window_set_default_size(window_, 800, 600);
    overlay_ = GTK_OVERLAY(gtk_overlay_new());
    gtk_window_set_child(window_, GTK_WIDGET(overlay_));
    gtk_window_present(window_);
    engine_ = std::make_unique<adapters::WebKitEngine>(session_, overlay_);
}

EngineFixture::~EngineFixture() {
    webView_.reset();
    if (window_ != nullptr) {
        gtk_window_destroy(window_);
    }
}

void EngineFixture::open(const std::string& pageUrl) {
    const std::string ready = consoleLine(R"(["ready"])");
    const int readyBefore = count(ready);
    webView_.reset();
    webView_ = std::make_unique<web::WebView>(
        *engine_, web::WebServices{log_, *alerts_, *microphone_, queue_},
        web::ServiceConfig{"pelunnalabs.com", pageUrl, "PelunnaLabs/1.0"});
    // The root view updates the web view right after making it.
    webView_->update(1.0, false);
    EXPECT_TRUE(waitForLine(ready, readyBefore + 1)) << pageUrl << " did not get ready";
}

WebKitWebView* EngineFixture::webKitView() const {
    return WEBKIT_WEB_VIEW(gtk_overlay_get_child(overlay_));
}

bool EngineFixture::waitForLine(const std::string& line, int occurrence) {
    return runUntil([&] { return count(line) >= occurrence; });
}

int EngineFixture::count(const std::string& line) const {
    return static_cast<int>(std::count(log_.lines.begin(), log_.lines.end(), line));
}

std::vector<std::string> EngineFixture::consoleLines(std::string_view bodyPrefix) const {
    const std::string prefix = consoleLine(bodyPrefix);
    std::vector<std::string> lines;
    std::copy_if(log_.lines.begin(), log_.lines.end(), std::back_inserter(lines),
                 [&](const std::string& line) { return line.starts_with(prefix); });
    return lines;
}

std::vector<std::string> EngineFixture::consoleLinesBetween(const std::string& from,
                                                            const std::string& to) const {
    const std::vector<std::string> lines = consoleLines();
    const auto begin = std::find(lines.begin(), lines.end(), from);
    if (begin == lines.end()) {
        return {};
    }
    return {begin + 1, std::find(begin + 1, lines.end(), to)};
}

std::string EngineFixture::callIn(WebKitWebView* view, const std::string& functionBody) {
    struct Outcome {
        bool done = false;
        std::string result;
    };
    // The engine may answer after the wait gave up, so the outcome outlives this call.
    auto outcome = std::make_shared<Outcome>();
    webkit_web_view_call_async_javascript_function(
        view, functionBody.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            const std::unique_ptr<std::shared_ptr<Outcome>> owner(
                static_cast<std::shared_ptr<Outcome>*>(data));
            Outcome& out = **owner;
            GError* error = nullptr;
            JSCValue* value = webkit_web_view_call_async_javascript_function_finish(
                WEBKIT_WEB_VIEW(source), result, &error);
            if (value == nullptr) {
                out.result = std::string("error: ") + error->message;
                g_error_free(error);
            } else {
                char* json = jsc_value_to_json(value, 0);
                out.result = json != nullptr ? json : "undefined";
                g_free(json);
                g_object_unref(value);
            }
            out.done = true;
        },
        new std::shared_ptr<Outcome>(outcome));
    if (!runUntil([&] { return outcome->done; })) {
        return "error: no answer";
    }
    return outcome->result;
}

}  // namespace pelunna::test
