#include <sys/wait.h>

#include "EngineFixture.hpp"

// After gtest: Xlib defines macros (None, Bool) that clash with its names.
#include <gdk/x11/gdkx.h>

namespace pelunna::test {
namespace {

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
