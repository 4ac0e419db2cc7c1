#include <algorithm>
#include <string>
#include <vector>

#include "EngineFixture.hpp"

namespace pelunna::test {
namespace {

class PopupTest : public EngineFixture {
protected:
    PopupTest() {
        server_.page("/", R"(<!doctype html><a href="#" target="_blank">open</a>
            <script>console.log("ready")</script>)");
        server_.page("/popup", R"(<script>console.log("popup", navigator.userAgent)</script>)");
        server_.page("/away", readyPage);
    }

    // The engine views laid over the page, oldest first.
    [[nodiscard]] std::vector<WebKitWebView*> popupViews() const {
        std::vector<WebKitWebView*> views;
        for (GtkWidget* child = gtk_widget_get_first_child(GTK_WIDGET(overlay_)); child != nullptr;
             child = gtk_widget_get_next_sibling(child)) {
            if (child != GTK_WIDGET(webKitView()) && WEBKIT_IS_WEB_VIEW(child)) {
                views.push_back(WEBKIT_WEB_VIEW(child));
            }
        }
        return views;
    }

    // Opens a popup through window.open and waits until its page has loaded.
    WebKitWebView* openPopup(const std::string& popupUrl) {
        const std::string line = "✅ Page loaded successfully: " + popupUrl;
        const int before = count(line);
        call("window.open('" + popupUrl + "');");
        return waitForLine(line, before + 1) ? popupViews().back() : nullptr;
    }
};

// The allocation a view was given in the overlay, as x, y, width, height.
std::vector<int> bounds(WebKitWebView* view) {
    graphene_rect_t rect;
    if (!gtk_widget_compute_bounds(GTK_WIDGET(view), gtk_widget_get_parent(GTK_WIDGET(view)),
                                   &rect)) {
        return {};
    }
    return {static_cast<int>(rect.origin.x), static_cast<int>(rect.origin.y),
            static_cast<int>(rect.size.width), static_cast<int>(rect.size.height)};
}

TEST_F(PopupTest, AServicePageOpensAPopupLaidOverItWithTheSameConfiguration) {
    load(url("/"));
    const std::string userAgent = call("return navigator.userAgent;");
    EXPECT_TRUE(userAgent.starts_with("\"Mozilla/5.0 ")) << userAgent;
    EXPECT_TRUE(userAgent.ends_with(" PelunnaLabs/1.0\"")) << userAgent;
    const std::string popupUrl = url("/popup", mediaHost);
    WebKitWebView* popup = openPopup(popupUrl);
    ASSERT_NE(popup, nullptr);
    // The page scripts ran in it and it sent the client's user agent.
    EXPECT_TRUE(waitForLine(consoleLine("[\"popup\"," + userAgent + "]")));
    for (const ServedRequest& request : server_.requests()) {
        EXPECT_EQ("\"" + request.userAgent + "\"", userAgent) << request.path;
    }

    // In front of the page, covering it, and still covering it when the window changes size.
    ASSERT_TRUE(runUntil([&] {
        const std::vector<int> page = bounds(webKitView());
        return page.size() == 4 && page[2] > 0 && bounds(popup) == page;
    })) << testing::PrintToString(bounds(popup));
    const std::vector<int> windowed = bounds(webKitView());
    gtk_window_fullscreen(window_);
    EXPECT_TRUE(runUntil([&] { return bounds(webKitView()) != windowed; }))
        << "the window manager did not resize the window";
    EXPECT_TRUE(runUntil([&] { return bounds(popup) == bounds(webKitView()); }));

    // Kept on the service like the main view.
    call("location.href = '" + url("/away", "evil.test") + "';", popup);
    EXPECT_TRUE(waitForLine("❌ Blocking navigation to: evil.test"));
    EXPECT_EQ(call("return location.href;", popup), "\"" + popupUrl + "\"");
    EXPECT_EQ(shown(), kept(url("/")));
}

TEST_F(PopupTest, ForeignPopupsAreRefusedAndServiceLinksOpenOne) {
    load(url("/"));
    EXPECT_EQ(call("return window.open('" + url("/away", "evilpelunnalabs.com") + "');"), "null");
    EXPECT_TRUE(waitForLine("❌ Blocking navigation to: evilpelunnalabs.com"));
    const std::string link = "const link = document.querySelector('a'); link.href = '";
    call(link + url("/away", "evil.test") + "'; link.click();");
    EXPECT_TRUE(waitForLine("❌ Blocking navigation to: evil.test"));
    EXPECT_EQ(popupViews().size(), 0U);
    EXPECT_EQ(server_.hits("/away"), 0);

    call(link + url("/popup", mediaHost) + "'; link.click();");
    EXPECT_TRUE(waitForLine("✅ Page loaded successfully: " + url("/popup", mediaHost)));
    EXPECT_EQ(popupViews().size(), 1U);
    EXPECT_EQ(shown(), kept(url("/")));
}

TEST_F(PopupTest, EachPopupLeavesWhenItsOwnPageClosesIt) {
    load(url("/"));
    WebKitWebView* first = openPopup(url("/popup", mediaHost));
    WebKitWebView* second = openPopup(url("/popup?second", labHost));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);

    // The newer one first, then the older one, which is still tracked although another popup
    // opened after it.
    call("window.close();", second);
    ASSERT_TRUE(waitForLine("✅ Popup closed"));
    EXPECT_EQ(popupViews(), std::vector<WebKitWebView*>{first});
    call("window.close();", first);
    ASSERT_TRUE(waitForLine("✅ Popup closed", 2));
    EXPECT_EQ(popupViews(), std::vector<WebKitWebView*>{});
    EXPECT_EQ(shown(), kept(url("/")));
}

// At quit the window goes before the web content that laid popups into it. Run under the
// sanitized build too, where touching the freed overlay is reported.
TEST_F(PopupTest, APopupOutlivesTheWindowItWasShownIn) {
    load(url("/"));
    ASSERT_NE(openPopup(url("/popup", mediaHost)), nullptr);

    auto* overlay = overlay_;
    g_object_add_weak_pointer(G_OBJECT(overlay), reinterpret_cast<gpointer*>(&overlay));
    gtk_window_destroy(window_);
    window_ = nullptr;
    webView_.reset();
    // Every view let go of the overlay it held.
    EXPECT_EQ(overlay, nullptr);
    if (overlay != nullptr) {
        g_object_remove_weak_pointer(G_OBJECT(overlay), reinterpret_cast<gpointer*>(&overlay));
    }
}

}  // namespace
}  // namespace pelunna::test
