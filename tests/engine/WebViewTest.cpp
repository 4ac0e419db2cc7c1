#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "EngineFixture.hpp"

// After gtest: Xlib defines macros (None, Bool) that clash with its names.
#include <gdk/x11/gdkx.h>

namespace pelunna::test {
namespace {

using WebViewTest = EngineFixture;

const std::string reloadLine = "🔄 Reloading from origin...";
const std::string cacheCleared = "🧹 Cache cleared";

const ServedRequest& lastRequest(const TestServer& server, const std::string& path) {
    const auto& requests = server.requests();
    const auto found = std::find_if(requests.rbegin(), requests.rend(),
                                    [&](const ServedRequest& r) { return r.path == path; });
    EXPECT_NE(found, requests.rend()) << "no request for " << path;
    static const ServedRequest none;
    return found != requests.rend() ? *found : none;
}

TEST_F(WebViewTest, UserAgentIsTheEnginesWithTheApplicationNameAppended) {
    server_.page("/", R"(<!doctype html><script>
        console.log(navigator.userAgent);
        console.log("ready");
    </script>)");
    open(url("/"));

    const std::string sent = lastRequest(server_, "/").userAgent;
    EXPECT_TRUE(sent.starts_with("Mozilla/5.0 ")) << sent;
    EXPECT_TRUE(sent.ends_with(" PelunnaLabs/1.0")) << sent;
    EXPECT_EQ(count(consoleLine("[\"" + sent + "\"]")), 1) << "the page sees another agent";
}

TEST_F(WebViewTest, StartPageIsFetchedIgnoringCachedCopies) {
    server_.page("/", R"(<!doctype html><script>console.log("ready")</script>)");
    open(url("/"));

    EXPECT_EQ(lastRequest(server_, "/").cacheControl, "no-cache");
}

TEST_F(WebViewTest, CacheRemovalAtConstructionKeepsCookies) {
    server_.route("/first", [](const ServedRequest&) {
        return Response{200,
                        "text/html; charset=utf-8",
                        R"(<!doctype html><script>console.log("ready")</script>)",
                        {{"Set-Cookie", "lab_session=kept; Max-Age=3600; Path=/"}}};
    });
    server_.page("/second", R"(<!doctype html><script>console.log("ready")</script>)");

    open(url("/first"));
    ASSERT_TRUE(waitForLine(cacheCleared));
    closeWebView();
    open(url("/second"));
    ASSERT_TRUE(waitForLine(cacheCleared, 2));

    EXPECT_EQ(call("await fetch('/probe'); return document.cookie;"), R"("lab_session=kept")");
    EXPECT_EQ(lastRequest(server_, "/probe").cookie, "lab_session=kept");
}

TEST_F(WebViewTest, ZoomChangesThePageZoomWithoutReloading) {
    server_.page("/", R"(<!doctype html><script>console.log("ready")</script>)");
    open(url("/"));
    const double unzoomedWidth =
        std::strtod(call("window.lessonState = 'kept'; return innerWidth;").c_str(), nullptr);
    ASSERT_GT(unzoomedWidth, 0.0);

    webView_->update(1.5, false);

    EXPECT_DOUBLE_EQ(webkit_web_view_get_zoom_level(webKitView()), 1.5);
    // The page lays itself out in fewer, larger CSS pixels.
    const double expectedWidth = unzoomedWidth / 1.5;
    std::string width;
    EXPECT_TRUE(runUntil([&] {
        width = call("return innerWidth;");
        return std::abs(std::strtod(width.c_str(), nullptr) - expectedWidth) <= 1.0;
    })) << "the page lays out "
        << width << " CSS pixels";
    // A server round trip gives a reload the update might have started time to show.
    EXPECT_EQ(call("await fetch('/probe'); return window.lessonState;"), R"("kept")");
    EXPECT_EQ(server_.hits("/"), 1);
    EXPECT_EQ(count(reloadLine), 0);
}

TEST_F(WebViewTest, EachSeenRefreshFlipReloadsFromOriginOnce) {
    server_.page("/", R"(<!doctype html><script>console.log("ready")</script>)");
    const std::string ready = consoleLine(R"(["ready"])");
    open(url("/"));

    webView_->update(1.0, true);
    EXPECT_EQ(count(reloadLine), 1);
    ASSERT_TRUE(waitForLine(ready, 2));
    EXPECT_EQ(server_.hits("/"), 2);
    EXPECT_EQ(lastRequest(server_, "/").cacheControl, "no-cache");

    call("window.lessonState = 'kept';");
    webView_->update(1.0, true);
    webView_->update(1.0, true);
    EXPECT_EQ(count(reloadLine), 1);
    // A server round trip gives a reload the updates might have started time to show.
    EXPECT_EQ(call("await fetch('/probe'); return window.lessonState;"), R"("kept")");
    EXPECT_EQ(server_.hits("/"), 2);

    webView_->update(1.0, false);
    EXPECT_EQ(count(reloadLine), 2);
    ASSERT_TRUE(waitForLine(ready, 3));
    EXPECT_EQ(server_.hits("/"), 3);
}

bool hasVisiblePopover(GtkWidget* widget) {
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        if ((GTK_IS_POPOVER(child) && gtk_widget_get_visible(child)) || hasVisiblePopover(child)) {
            return true;
        }
    }
    return false;
}

TEST_F(WebViewTest, SecondaryClickOpensNoContextMenu) {
    if (!GDK_IS_X11_DISPLAY(gdk_display_get_default())) {
        GTEST_SKIP() << "the click is sent through the X server";
    }
    char* xdotool = g_find_program_in_path("xdotool");
    if (xdotool == nullptr) {
        GTEST_SKIP() << "xdotool is not installed";
    }
    g_free(xdotool);
    server_.page("/", R"(<!doctype html><body style="margin: 0; height: 100vh">
        <script>console.log("ready")</script>)");
    open(url("/"));
    ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(webKitView())); }));

    // Seen at the start of every emission, whatever the handlers answer.
    const guint signal = g_signal_lookup("context-menu", WEBKIT_TYPE_WEB_VIEW);
    int requests = 0;
    const gulong hook = g_signal_add_emission_hook(
        signal, 0,
        [](GSignalInvocationHint*, guint, const GValue*, gpointer counter) -> gboolean {
            ++*static_cast<int*>(counter);
            return TRUE;
        },
        &requests, nullptr);

    const std::string window =
        std::to_string(gdk_x11_surface_get_xid(gtk_native_get_surface(GTK_NATIVE(window_))));
    const char* argv[] = {"xdotool", "mousemove", "--window", window.c_str(), "200",
                          "200",     "click",     "3",        nullptr};
    GError* error = nullptr;
    gint status = 0;
    const bool clicked =
        g_spawn_sync(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                     nullptr, nullptr, nullptr, &status, &error) &&
        g_spawn_check_wait_status(status, &error);
    const bool asked = clicked && runUntil([&] { return requests > 0; });
    g_signal_remove_emission_hook(signal, hook);
    const std::string failure = error != nullptr ? error->message : "";
    g_clear_error(&error);
    ASSERT_TRUE(clicked) << "xdotool: " << failure;
    ASSERT_TRUE(asked) << "the click never reached the engine";

    EXPECT_FALSE(hasVisiblePopover(GTK_WIDGET(webKitView())));
}

}  // namespace
}  // namespace pelunna::test
