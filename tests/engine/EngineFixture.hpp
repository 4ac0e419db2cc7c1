#pragma once

#include <gtest/gtest.h>
#include <webkit/webkit.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../unit/Fakes.hpp"
#include "TestServer.hpp"
#include "platform/gtk/GtkMainQueue.hpp"
#include "platform/webkit/WebKitEngine.hpp"
#include "platform/webkit/WebKitSession.hpp"
#include "web/WebView.hpp"

namespace pelunna::test {

// Hosts of the service. The test server answers for all of them as the engine's proxy, so the
// pages come from the only domain the client accepts.
inline constexpr char labHost[] = "lab.pelunnalabs.com";
inline constexpr char mediaHost[] = "media.pelunnalabs.com";
inline constexpr char readyPage[] = R"(<!doctype html><script>console.log("ready")</script>)";

// Counts a signal's emissions on any object of a type, whatever the client's handlers answer:
// proof that the engine asked or acted, so that the absence of an answer's traces means something.
// Also counts the objects it hands to the client (its first argument after the emitter) and those
// still alive: what the engine gives each page, ours to let go of once answered.
struct SignalCount {
    SignalCount(GType type, const char* name)
        : typeClass(g_type_class_ref(type)),
          signal(g_signal_lookup(name, type)),
          hook(g_signal_add_emission_hook(signal, 0, count, this, nullptr)) {}
    ~SignalCount() {
        g_signal_remove_emission_hook(signal, hook);
        for (GObject* object : alive) {
            g_object_weak_unref(object, gone, this);
        }
        g_type_class_unref(typeClass);
    }
    SignalCount(const SignalCount&) = delete;
    SignalCount& operator=(const SignalCount&) = delete;
    static gboolean count(GSignalInvocationHint*, guint values, const GValue* value,
                          gpointer self) {
        auto* counter = static_cast<SignalCount*>(self);
        ++counter->value;
        if (values > 1 && G_VALUE_HOLDS_OBJECT(&value[1])) {
            GObject* object = G_OBJECT(g_value_get_object(&value[1]));
            if (object != nullptr && counter->alive.insert(object).second) {
                ++counter->handedOut;
                g_object_weak_ref(object, gone, self);
            }
        }
        return TRUE;
    }
    static void gone(gpointer self, GObject* object) {
        static_cast<SignalCount*>(self)->alive.erase(object);
    }
    gpointer typeClass;
    guint signal;
    gulong hook;
    int value = 0;
    std::set<GObject*> alive;
    int handedOut = 0;
};

inline std::string consoleLine(std::string_view body) {
    return "📱 WebView Console: " + std::string(body);
}

// A shown window with the overlay the engine lays its views into, and the client's web view on
// pages of a local server, built as the kiosk builds it, with the engine's mock capture devices.
// The server's "/" is the ready page until a test serves another.
class EngineFixture : public ::testing::Test {
protected:
    EngineFixture();
    ~EngineFixture() override {
        webView_.reset();
        if (window_ != nullptr) {
            gtk_window_destroy(window_);
        }
    }

    [[nodiscard]] std::string url(const std::string& path,
                                  const std::string& host = labHost) const {
        return server_.url(path, host);
    }
    // Builds a web view on the page, replacing the previous one, waits until the page logs
    // "ready" through the console bridge and its load ends, and leaves a mark that a reload or a
    // navigation would wipe.
    void load(const std::string& pageUrl) {
        const std::string ready = consoleLine(R"(["ready"])");
        const int before = count(ready);
        webView_.reset();
        webView_ = std::make_unique<web::WebView>(
            *engine_, web::WebServices{log_, alerts_, microphone_, queue_},
            web::ServiceConfig{"pelunnalabs.com", pageUrl, "PelunnaLabs/1.0"});
        // The root view updates the web view right after making it.
        webView_->update(1.0, false);
        ASSERT_TRUE(waitForLine(ready, before + 1)) << pageUrl << " did not get ready";
        ASSERT_TRUE(waitForLine("✅ Page loaded successfully: " + pageUrl)) << pageUrl;
        ASSERT_EQ(call("return window.lessonState = 'kept';"), R"("kept")");
    }
    // The main view's address and mark, and what they are while it shows the marked page.
    std::string shown() { return call("return [location.href, window.lessonState];"); }
    static std::string kept(const std::string& page) { return "[\"" + page + "\",\"kept\"]"; }
    [[nodiscard]] WebKitWebView* webKitView() const {
        return WEBKIT_WEB_VIEW(gtk_overlay_get_child(overlay_));
    }
    // What is laid over the main view, oldest first.
    [[nodiscard]] std::vector<GtkWidget*> overlaid() const {
        std::vector<GtkWidget*> widgets;
        for (GtkWidget* child = gtk_widget_get_first_child(GTK_WIDGET(overlay_)); child != nullptr;
             child = gtk_widget_get_next_sibling(child)) {
            widgets.push_back(child);
        }
        std::erase(widgets, GTK_WIDGET(webKitView()));
        return widgets;
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
    [[nodiscard]] std::vector<std::string> linesSince(std::size_t from, bool console) const {
        std::vector<std::string> lines(log_.lines.begin() + static_cast<std::ptrdiff_t>(from),
                                       log_.lines.end());
        std::erase_if(lines, [console](const std::string& line) {
            return line.starts_with(consoleLine("")) != console || line == "🧹 Cache cleared";
        });
        return lines;
    }

    // Runs an async function body in the view's main frame; its result as JSON, or "error: ..."
    // when it throws or does not answer in time.
    std::string call(const std::string& functionBody, WebKitWebView* view = nullptr);

    TestServer server_;
    RecordingLog log_;
    // Alerts stay up, and microphone requests wait, until the test answers as a learner would.
    FakeAlerts alerts_;
    FakeMicrophone microphone_;
    platform::GtkMainQueue queue_;
    GtkWindow* window_ = nullptr;
    GtkOverlay* overlay_ = nullptr;
    platform::WebKitSession session_{DrawingPath::cpu};
    std::unique_ptr<platform::WebKitEngine> engine_;
    std::unique_ptr<web::WebView> webView_;
};

}  // namespace pelunna::test
