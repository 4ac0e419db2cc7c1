// Where a page can go in the real engine: its loads, its popups, and no way to the disk or the
// printer.
#include <sys/wait.h>

#include "EngineFixture.hpp"

// After gtest: Xlib defines macros (None, Bool) that clash with its names.
#include <gdk/x11/gdkx.h>

namespace pelunna::test {
namespace {

using NavigationTest = EngineFixture;

// Each link the page follows ends with one line naming its outcome: a foreign host is blocked,
// and a load that failed never also reads as a success. Hosts that only resemble the service's,
// and addresses without a host, are judged in the unit tests.
TEST_F(NavigationTest, EachLoadEndsWithOneLineNamingItsOutcome) {
    const std::string landing = url("/landing", mediaHost);
    const std::string foreign = url("/landing", "evil.test");
    // A cookie set once outlives the cache removal of every later view.
    server_.route("/", [this](const ServedRequest&) {
        return Response{200,
                        "text/html",
                        R"(<a href="#">next</a><script>console.log("ready")</script>)",
                        {{"Set-Cookie", server_.hits("/") == 1 ? "lab=kept" : "other=1"}}};
    });
    server_.page("/landing", readyPage);
    const std::string partly =
        "<script>console.log('partly shown')</script><p>" + std::string(8192, 'x');
    const std::pair<std::string, Response> served[] = {
        {"/hop", {302, "text/plain", "", {{"Location", landing}}}},
        {"/foreign-hop", {302, "text/plain", "", {{"Location", foreign}}}},
        // The engine would save these.
        {"/lesson.bin", {200, "application/octet-stream", std::string(64, '\x01'), {}}},
        {"/answers.txt", {200, "text/plain", "a", {{"Content-Disposition", "attachment; name=a"}}}},
        // The announced length is never sent, so the page stays in the middle of its load.
        {"/partial", {200, "text/html; charset=utf-8", partly, {{"Content-Length", "1000000"}}}},
    };
    for (const auto& [path, response] : served) {
        server_.route(path, [response](const ServedRequest&) { return response; });
    }
    const std::string start = url("/");
    const std::string navigation = "Navigation to: ";
    const std::string allowing = "✅ Allowing navigation to: ";
    const std::string loaded = "✅ Page loaded successfully: ";
    const std::string failed = "❌ Provisional navigation failed: ";
    // After the allowed link; the last line is a line's start.
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {"/hop", {navigation + landing, allowing + mediaHost, loaded + landing}},
        {"/foreign-hop", {navigation + foreign, "❌ Blocking navigation to: evil.test", failed}},
        {"/lesson.bin", {"❌ Blocking download: " + url("/lesson.bin"), failed}},
        {"/answers.txt", {"❌ Blocking download: " + url("/answers.txt"), failed}},
        {"/partial", {"❌ Navigation failed: "}},
    };
    for (const auto& [path, rowLines] : rows) {
        SCOPED_TRACE(path);
        load(start);
        const std::size_t from = mark();
        call("const link = document.querySelector('a'); link.href = '" + path + "'; link.click();");
        if (path == "/partial") {
            ASSERT_TRUE(waitForLine(consoleLine(R"(["partly shown"])")));
            webkit_web_view_stop_loading(webKitView());
        }
        std::vector<std::string> expected{navigation + url(path), allowing + labHost};
        expected.insert(expected.end(), rowLines.begin(), rowLines.end());
        ASSERT_TRUE(runUntil([&] { return linesSince(from, false).size() >= expected.size(); }));
        call("return 0;");  // a round trip to the page gives a late line time to show
        std::vector<std::string> lines = linesSince(from, false);
        lines.back().resize(expected.back().size());  // the rest is the engine's wording
        EXPECT_EQ(lines, expected);
    }
    // The foreign host was never asked; the start page is fetched anew, whatever a cache holds.
    EXPECT_EQ(server_.hits("/landing"), 1);
    EXPECT_EQ(server_.requests().front().cacheControl, "no-cache");
    ASSERT_TRUE(waitForLine("🧹 Cache cleared", 5));
    EXPECT_EQ(call("await fetch('/probe'); return document.cookie;"), R"("lab=kept; other=1")");
}

using PopupTest = EngineFixture;

// Whether the popup is laid over the whole of the page.
bool covers(WebKitWebView* popup, WebKitWebView* page) {
    graphene_rect_t over;
    graphene_rect_t under;
    return gtk_widget_compute_bounds(GTK_WIDGET(popup), GTK_WIDGET(page), &over) &&
           gtk_widget_compute_bounds(GTK_WIDGET(page), GTK_WIDGET(page), &under) &&
           under.size.width > 0 && graphene_rect_equal(&over, &under);
}

// At quit the window goes before the web content that laid popups into it: run under the
// sanitized build too, where touching the freed overlay is reported.
TEST_F(PopupTest, AServicePageOpensPopupsLaidOverItWithTheSameConfigurationUntilTheyClose) {
    server_.page("/popup", R"(<script>console.log("popup", navigator.userAgent)</script>)");
    load(url("/"));
    const auto openPopup = [this](const std::string& popupUrl) {
        call("window.open('" + popupUrl + "');");
        return waitForLine("✅ Page loaded successfully: " + popupUrl)
                   ? WEBKIT_WEB_VIEW(overlaid().back())
                   : nullptr;
    };
    const std::string userAgent = call("return navigator.userAgent;");
    EXPECT_TRUE(userAgent.ends_with(" PelunnaLabs/1.0\"")) << userAgent;
    const std::string popupUrl = url("/popup", mediaHost);
    WebKitWebView* popup = openPopup(popupUrl);
    ASSERT_NE(popup, nullptr);
    // It draws on the CPU like its opener, the fixture's choice for a machine without a GPU.
    EXPECT_EQ(webkit_settings_get_hardware_acceleration_policy(webkit_web_view_get_settings(popup)),
              WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    // The page scripts ran in it and it sent the client's user agent.
    EXPECT_TRUE(waitForLine(consoleLine("[\"popup\"," + userAgent + "]")));
    for (const ServedRequest& request : server_.requests()) {
        EXPECT_EQ("\"" + request.userAgent + "\"", userAgent) << request.path;
    }

    // In front of the page, covering it, and still covering it when the window changes size.
    const int width = gtk_widget_get_width(GTK_WIDGET(webKitView()));
    gtk_window_fullscreen(window_);
    EXPECT_TRUE(runUntil([&] { return gtk_widget_get_width(GTK_WIDGET(webKitView())) != width; }))
        << "the window manager did not resize the window";
    EXPECT_TRUE(runUntil([&] { return covers(popup, webKitView()); }));

    // Kept on the service like the main view.
    call("location.href = '" + url("/away", "evil.test") + "';", popup);
    EXPECT_TRUE(waitForLine("❌ Blocking navigation to: evil.test"));
    EXPECT_EQ(call("return location.href;", popup), "\"" + popupUrl + "\"");
    EXPECT_EQ(shown(), kept(url("/")));
    EXPECT_EQ(server_.hits("/away"), 0);

    // The older one is still tracked although another opened after it.
    WebKitWebView* second = openPopup(url("/popup?second", labHost));
    ASSERT_NE(second, nullptr);
    call("window.close();", popup);
    ASSERT_TRUE(waitForLine("✅ Popup closed"));
    EXPECT_EQ(overlaid(), std::vector<GtkWidget*>{GTK_WIDGET(second)});
    EXPECT_EQ(shown(), kept(url("/")));

    GWeakRef overlay;
    g_weak_ref_init(&overlay, overlay_);
    gtk_window_destroy(window_);
    window_ = nullptr;
    webView_.reset();
    // Every view let go of the overlay it held.
    EXPECT_EQ(g_weak_ref_get(&overlay), nullptr);
    g_weak_ref_clear(&overlay);
}

using BlockedOutputTest = EngineFixture;

// A download link, the page's print() and the context menu (whose "Download Linked File" and
// "Save Image As" would be a way to the file system) reach neither the disk nor the screen.
TEST_F(BlockedOutputTest, DownloadsPrintingAndTheContextMenuAreRefused) {
    const std::string token = "saved-answers-" + std::to_string(g_random_int());
    server_.route("/notes.txt", [&token](const ServedRequest&) {
        return Response{200, "text/plain", token, {}};
    });
    server_.page("/", R"(<a download href="/notes.txt">notes</a><script>console.log("ready")
        </script>)");
    load(url("/"));
    const guint windows = g_list_model_get_n_items(gtk_window_get_toplevels());
    SignalCount downloadsEnded(WEBKIT_TYPE_DOWNLOAD, "finished");  // written or cancelled
    call("document.querySelector('a').click();");
    EXPECT_TRUE(waitForLine("❌ Blocking download: " + url("/notes.txt")));
    ASSERT_TRUE(runUntil([&] { return downloadsEnded.value > 0; }));
    EXPECT_EQ(call("print(); return location.pathname;"), R"("/")");
    EXPECT_TRUE(waitForLine("❌ Blocking print"));
    EXPECT_EQ(shown(), kept(url("/")));
    EXPECT_EQ(g_list_model_get_n_items(gtk_window_get_toplevels()), windows);
    // grep finds nothing (status 1) under the test's home and XDG folders.
    const std::string grep = "grep -rqF " + token + " " + std::string(g_getenv("HOME")) + "/..";
    int status = 0;
    ASSERT_TRUE(g_spawn_command_line_sync(grep.c_str(), nullptr, nullptr, &status, nullptr));
    EXPECT_EQ(WEXITSTATUS(status), 1);

    if (!GDK_IS_X11_DISPLAY(gdk_display_get_default())) {
        GTEST_SKIP() << "the click is sent with xdotool through the X server";
    }
    ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(webKitView())); }));
    SignalCount menus(WEBKIT_TYPE_WEB_VIEW, "context-menu");
    const std::string command =
        "xdotool mousemove --window " +
        std::to_string(gdk_x11_surface_get_xid(gtk_native_get_surface(GTK_NATIVE(window_)))) +
        " 200 200 click 3";
    ASSERT_TRUE(g_spawn_command_line_sync(command.c_str(), nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(runUntil([&] { return menus.value > 0; })) << "the click never reached the engine";
    // The engine's menu would be a popover of the view.
    for (GtkWidget* child = gtk_widget_get_first_child(GTK_WIDGET(webKitView())); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        EXPECT_FALSE(GTK_IS_POPOVER(child) && gtk_widget_get_visible(child));
    }
}

}  // namespace
}  // namespace pelunna::test
