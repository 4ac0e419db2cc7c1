#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

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

}  // namespace
}  // namespace pelunna::test
