#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gsettingsbackend.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "EngineFixture.hpp"
#include "platform/gtk/DesktopColorScheme.hpp"
#include "platform/gtk/GtkPermissionScreen.hpp"
#include "platform/webkit/NoticeWidget.hpp"

namespace pelunna::test {
namespace {

using ScreenTest = EngineFixture;

// The view's pixels as the learner sees them, 0xAARRGGBB.
std::vector<guint32> snapshot(WebKitWebView* view, int& width) {
    GdkTexture* texture = nullptr;
    webkit_web_view_get_snapshot(
        view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer out) {
            *static_cast<GdkTexture**>(out) =
                webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
        },
        &texture);
    EXPECT_TRUE(runUntil([&] { return texture != nullptr; }));
    if (texture == nullptr) {
        return {};
    }
    width = gdk_texture_get_width(texture);
    std::vector<guint32> pixels(static_cast<std::size_t>(width * gdk_texture_get_height(texture)));
    gdk_texture_download(texture, reinterpret_cast<guchar*>(pixels.data()),
                         static_cast<gsize>(width) * 4);
    g_object_unref(texture);
    return pixels;
}

// A page that paints no background is the engine's white, its black text readable on it; the
// page follows the desktop's light or dark preference; a pinch magnifies nothing, since only the
// kiosk's keys may zoom. GTK cannot make a pinch, so the engine's zoom gesture is checked to be
// there and to receive no events.
TEST_F(ScreenTest, PagesAreWhiteFollowTheDesktopAndIgnorePinches) {
    server_.page("/", R"(<!doctype html><p style="margin:0; font: 900 120px sans-serif">Text</p>
        <script>console.log("ready")</script>)");
    load(url("/"));
    int width = 0;
    const std::vector<guint32> pixels = snapshot(webKitView(), width);
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(pixels.back() & 0xFFFFFFU, 0xFFFFFFU);  // the bottom right corner, where no text is
    const auto dark = std::count_if(pixels.begin(), pixels.begin() + width * 120,
                                    [](guint32 pixel) { return (pixel & 0xFFFFFFU) < 0x202020U; });
    EXPECT_GT(dark, 1000);

    const std::string prefersDark = "return matchMedia('(prefers-color-scheme: dark)').matches;";
    EXPECT_EQ(call(prefersDark), "false");
    GSettingsBackend* backend = g_memory_settings_backend_new();
    GSettings* desktop = g_settings_new_with_backend("org.gnome.desktop.interface", backend);
    g_object_unref(backend);
    {
        const platform::DesktopColorScheme scheme(G_SETTINGS(g_object_ref(desktop)));
        g_settings_set_string(desktop, "color-scheme", "prefer-dark");
        EXPECT_TRUE(runUntil([&] { return call(prefersDark) == "true"; }));
        g_settings_set_string(desktop, "color-scheme", "prefer-light");
        EXPECT_TRUE(runUntil([&] { return call(prefersDark) == "false"; }));
    }
    g_object_unref(desktop);

    int zoomGestures = 0;
    GListModel* controllers = gtk_widget_observe_controllers(GTK_WIDGET(webKitView()));
    for (guint index = 0; index < g_list_model_get_n_items(controllers); ++index) {
        auto* controller = GTK_EVENT_CONTROLLER(g_list_model_get_item(controllers, index));
        if (GTK_IS_GESTURE_ZOOM(controller)) {
            ++zoomGestures;
            EXPECT_EQ(gtk_event_controller_get_propagation_phase(controller), GTK_PHASE_NONE);
        }
        g_object_unref(controller);
    }
    g_object_unref(controllers);
    EXPECT_GT(zoomGestures, 0);
}

struct Screen final : PermissionScreen {
    [[nodiscard]] PermissionSection section() const override { return shown; }
    void grantMicrophoneAccess() override {}
    void openMicrophoneSettings() override {}
    void continueToLabs() override {}
    PermissionSection shown = PermissionSection::undecided;
};

std::string shownText(GtkWidget* widget) {
    std::string text = GTK_IS_LABEL(widget) ? gtk_label_get_text(GTK_LABEL(widget)) : "";
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        text += shownText(child);
    }
    return text;
}

// What a screen reader reads: every button by the words it shows, the title as a heading, the
// symbols not at all, and a notice, laid over the page, as an alert with the words it shows.
void expectNamed(GtkWidget* widget, int& buttons, int& headings) {
    GtkAccessible* accessible = GTK_ACCESSIBLE(widget);
    if (GTK_IS_BUTTON(widget)) {
        ++buttons;
        char* fault = gtk_test_accessible_check_property(accessible, GTK_ACCESSIBLE_PROPERTY_LABEL,
                                                         shownText(widget).c_str());
        EXPECT_EQ(fault, nullptr) << fault;
        g_free(fault);
    }
    if (GTK_IS_IMAGE(widget)) {
        EXPECT_TRUE(gtk_test_accessible_has_role(accessible, GTK_ACCESSIBLE_ROLE_PRESENTATION));
    }
    if (gtk_test_accessible_has_role(accessible, GTK_ACCESSIBLE_ROLE_HEADING)) {
        ++headings;
        EXPECT_EQ(shownText(widget), "Microphone Permission Required");
    }
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        expectNamed(child, buttons, headings);
    }
}

TEST_F(ScreenTest, EveryPartIsNamedForScreenReaders) {
    Screen screen;
    for (const auto& [section, buttonCount] : {std::pair{PermissionSection::undecided, 1},
                                               {PermissionSection::granted, 1},
                                               {PermissionSection::refused, 2}}) {
        screen.shown = section;
        GtkWidget* built = g_object_ref_sink(platform::buildPermissionScreen(screen, window_));
        int buttons = 0;
        int headings = 0;
        expectNamed(built, buttons, headings);
        EXPECT_EQ(buttons, buttonCount);
        EXPECT_EQ(headings, 1);
        g_object_unref(built);
    }
    platform::NoticeWidget notice(overlay_);
    notice.show(Notice{"The lab can't be reached.", "Press Ctrl+R."});
    ASSERT_EQ(overlaid().size(), 1U);
    GtkWidget* shown = overlaid().back();
    EXPECT_EQ(shownText(shown), "The lab can't be reached.Press Ctrl+R.");
    EXPECT_TRUE(gtk_test_accessible_has_role(GTK_ACCESSIBLE(shown), GTK_ACCESSIBLE_ROLE_ALERT));
    char* fault =
        gtk_test_accessible_check_property(GTK_ACCESSIBLE(shown), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                           "The lab can't be reached. Press Ctrl+R.");
    EXPECT_EQ(fault, nullptr) << fault;
    g_free(fault);
}

}  // namespace
}  // namespace pelunna::test
