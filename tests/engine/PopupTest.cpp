#include <algorithm>
#include <string>
#include <vector>

#include "NavigationFixture.hpp"

namespace pelunna::test {
namespace {

const std::string readyPage = R"(<!doctype html><script>console.log("ready")</script>)";
const std::string openerPage = R"(<!doctype html><a href="#" target="_blank">open</a>
    <script>console.log("ready")</script>)";

class PopupTest : public NavigationFixture {
protected:
    PopupTest() {
        server_.page("/", openerPage);
        server_.page("/popup", R"(<!doctype html><script>
            console.log("popup ready", location.href, navigator.userAgent);
        </script>)");
        server_.page("/away", readyPage);
    }

    [[nodiscard]] std::size_t openPopups() { return webView_->coordinator().openPopupCount(); }

    // The allocation a view was given, as x, y, width, height.
    static std::vector<int> bounds(WebKitWebView* view) {
        graphene_rect_t rect;
        if (!gtk_widget_compute_bounds(GTK_WIDGET(view), GTK_WIDGET(overlayOf(view)), &rect)) {
            return {};
        }
        return {static_cast<int>(rect.origin.x), static_cast<int>(rect.origin.y),
                static_cast<int>(rect.size.width), static_cast<int>(rect.size.height)};
    }
    static GtkWidget* overlayOf(WebKitWebView* view) {
        return gtk_widget_get_parent(GTK_WIDGET(view));
    }

    // Opens a popup on the page through window.open and waits until its page has loaded.
    WebKitWebView* openPopup(const std::string& popupUrl) {
        const std::size_t before = popupViews().size();
        EXPECT_EQ(call("return window.open('" + popupUrl + "') !== null;"), "true");
        if (!waitForLine("✅ Page loaded successfully: " + popupUrl,
                         count("✅ Page loaded successfully: " + popupUrl) + 1) ||
            popupViews().size() != before + 1) {
            ADD_FAILURE() << "no popup for " << popupUrl;
            return nullptr;
        }
        return popupViews().back();
    }
};

std::string popupReady(const std::string& popupUrl, const std::string& userAgent) {
    return consoleLine(R"(["popup ready",")" + popupUrl + R"(",")" + userAgent + "\"]");
}

TEST_F(PopupTest, AServicePageOpensAPopupLaidOverItWithTheSameConfiguration) {
    load(url("/"));
    const std::string userAgent = call("return navigator.userAgent;");
    const std::size_t from = mark();
    const std::string popupUrl = url("/popup", mediaHost);

    WebKitWebView* popup = openPopup(popupUrl);
    ASSERT_NE(popup, nullptr);

    EXPECT_EQ(clientLinesSince(from),
              (std::vector<std::string>{"✅ Allowing popup for: media.pelunnalabs.com",
                                        "Navigation to: " + popupUrl,
                                        "✅ Allowing navigation to: media.pelunnalabs.com",
                                        "✅ Page loaded successfully: " + popupUrl}));
    // The page scripts ran in it and it sent the client's user agent.
    EXPECT_TRUE(waitForLine(popupReady(popupUrl, userAgent.substr(1, userAgent.size() - 2))));
    const auto& requests = server_.requests();
    const auto request = std::find_if(requests.rbegin(), requests.rend(),
                                      [](const ServedRequest& r) { return r.path == "/popup"; });
    ASSERT_NE(request, requests.rend());
    EXPECT_TRUE(request->userAgent.ends_with(" PelunnaLabs/1.0")) << request->userAgent;
    EXPECT_EQ(openPopups(), 1U);

    // In front of the page, covering it, and still covering it when the window changes size.
    EXPECT_EQ(overlayOf(popup), overlayOf(webKitView()));
    ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(popup)); }));
    const std::vector<int> windowed = bounds(webKitView());
    EXPECT_EQ(bounds(popup), windowed);
    gtk_window_fullscreen(window_);
    EXPECT_TRUE(runUntil([&] { return bounds(webKitView()) != windowed; }))
        << "the window manager did not resize the window";
    EXPECT_TRUE(runUntil([&] { return bounds(popup) == bounds(webKitView()); }));
    EXPECT_TRUE(stillShows(url("/")));
}

TEST_F(PopupTest, ATargetBlankLinkIsJudgedAsANavigationThenOpensAPopup) {
    load(url("/"));
    const std::size_t from = mark();
    const std::string popupUrl = url("/popup", mediaHost);

    call("const link = document.querySelector('a'); link.href = '" + popupUrl + "'; link.click();");

    ASSERT_TRUE(waitForLine("✅ Page loaded successfully: " + popupUrl));
    EXPECT_EQ(clientLinesSince(from),
              (std::vector<std::string>{
                  "Navigation to: " + popupUrl, "✅ Allowing navigation to: media.pelunnalabs.com",
                  "✅ Allowing popup for: media.pelunnalabs.com", "Navigation to: " + popupUrl,
                  "✅ Allowing navigation to: media.pelunnalabs.com",
                  "✅ Page loaded successfully: " + popupUrl}));
    EXPECT_EQ(popupViews().size(), 1U);
    EXPECT_TRUE(stillShows(url("/")));
}

TEST_F(PopupTest, ForeignPopupsAreRefusedAndBlockedInTheOpener) {
    load(url("/"));
    const std::string byScript = url("/away", "evilpelunnalabs.com");
    const std::string byLink = url("/away", "evil.test");

    std::size_t from = mark();
    EXPECT_EQ(call("return window.open('" + byScript + "');"), "null");
    ASSERT_TRUE(waitForLineSince(from, "❌ Blocking navigation to: evilpelunnalabs.com"));
    EXPECT_EQ(clientLinesSince(from),
              (std::vector<std::string>{"Navigation to: " + byScript,
                                        "❌ Blocking navigation to: evilpelunnalabs.com"}));

    from = mark();
    call("const link = document.querySelector('a'); link.href = '" + byLink + "'; link.click();");
    ASSERT_TRUE(waitForLineSince(from, "❌ Blocking navigation to: evil.test"));
    EXPECT_EQ(clientLinesSince(from),
              (std::vector<std::string>{"Navigation to: " + byLink,
                                        "❌ Blocking navigation to: evil.test"}));

    EXPECT_TRUE(stillShows(url("/")));
    EXPECT_EQ(popupViews().size(), 0U);
    EXPECT_EQ(openPopups(), 0U);
    EXPECT_EQ(server_.hits("/away"), 0);
}

TEST_F(PopupTest, ANewWindowWithoutAnAddressOpensNothingAndLeavesThePage) {
    SignalRecorder requests("create");
    load(url("/"));
    SignalRecorder decisions("decide-policy");
    const std::size_t from = mark();

    EXPECT_EQ(call("return window.open();"), "null");
    EXPECT_EQ(call("return window.open('about:blank');"), "null");
    EXPECT_EQ(call("return window.open('data:text/html,<p>x</p>');"), "null");
    // A server round trip gives a load into the opener time to show.
    EXPECT_EQ(call("await fetch('/probe'); return true;"), "true");

    EXPECT_EQ(requests.emissions().size(), 3U) << "the engine asked for fewer windows";
    // Not even handed to the opener to be refused there.
    EXPECT_EQ(decisions.emissions().size(), 0U);
    EXPECT_TRUE(stillShows(url("/")));
    EXPECT_EQ(clientLinesSince(from), std::vector<std::string>{});
    EXPECT_EQ(popupViews().size(), 0U);
    EXPECT_EQ(server_.hits("/"), 1);
}

TEST_F(PopupTest, EachPopupLeavesWhenItsOwnPageClosesIt) {
    load(url("/"));
    WebKitWebView* first = openPopup(url("/popup", mediaHost));
    WebKitWebView* second = openPopup(url("/popup?second", labHost));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(openPopups(), 2U);

    // The newer one first, then the older one, which is still tracked although another popup
    // opened after it.
    std::size_t from = mark();
    callIn(second, "window.close();");
    ASSERT_TRUE(waitForLineSince(from, "✅ Popup closed"));
    EXPECT_EQ(popupViews(), std::vector<WebKitWebView*>{first});
    EXPECT_EQ(openPopups(), 1U);

    from = mark();
    callIn(first, "window.close();");
    ASSERT_TRUE(waitForLineSince(from, "✅ Popup closed"));
    EXPECT_EQ(popupViews(), std::vector<WebKitWebView*>{});
    EXPECT_EQ(openPopups(), 0U);
    EXPECT_EQ(count("✅ Popup closed"), 2);
    EXPECT_TRUE(stillShows(url("/")));
}

TEST_F(PopupTest, TheMainPageCannotCloseItsWindow) {
    SignalRecorder closeRequests("close");
    load(url("/"));
    WebKitWebView* popup = openPopup(url("/popup", mediaHost));
    ASSERT_NE(popup, nullptr);
    const std::size_t from = mark();

    call("window.close();");
    ASSERT_TRUE(runUntil([&] { return !closeRequests.emissions().empty(); }))
        << "the engine never passed the request on";

    EXPECT_EQ(closeRequests.emissions()[0].view, webKitView());
    EXPECT_TRUE(stillShows(url("/")));
    EXPECT_EQ(popupViews(), std::vector<WebKitWebView*>{popup});
    EXPECT_EQ(openPopups(), 1U);
    EXPECT_EQ(clientLinesSince(from), std::vector<std::string>{});
}

TEST_F(PopupTest, APopupIsKeptOnTheServiceLikeTheMainView) {
    load(url("/"));
    const std::string popupUrl = url("/popup", mediaHost);
    WebKitWebView* popup = openPopup(popupUrl);
    ASSERT_NE(popup, nullptr);

    const std::size_t from = mark();
    callIn(popup, "location.href = '" + url("/away", "evil.test") + "';");
    ASSERT_TRUE(waitForLineSince(from, "❌ Blocking navigation to: evil.test"));
    EXPECT_EQ(callIn(popup, "return location.href;"), "\"" + popupUrl + "\"");

    // A popup's own new windows are judged by the same rules.
    EXPECT_EQ(callIn(popup, "return window.open('" + url("/away", "evilpelunnalabs.com") + "');"),
              "null");
    ASSERT_TRUE(waitForLineSince(from, "❌ Blocking navigation to: evilpelunnalabs.com"));
    EXPECT_EQ(callIn(popup, "return location.href;"), "\"" + popupUrl + "\"");
    EXPECT_EQ(server_.hits("/away"), 0);
    EXPECT_EQ(popupViews(), std::vector<WebKitWebView*>{popup});
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
    closeWebView();
    // Every view let go of the overlay it held.
    EXPECT_EQ(overlay, nullptr);
    if (overlay != nullptr) {
        g_object_remove_weak_pointer(G_OBJECT(overlay), reinterpret_cast<gpointer*>(&overlay));
    }
}

}  // namespace
}  // namespace pelunna::test
