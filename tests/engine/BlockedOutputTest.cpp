#include <filesystem>
#include <fstream>
#include <string>

#include "EngineFixture.hpp"

// After gtest: Xlib defines macros (None, Bool) that clash with its names.
#include <gdk/x11/gdkx.h>

namespace pelunna::test {
namespace {

namespace fs = std::filesystem;

// Whether any file under the test's home and XDG folders holds the text.
bool anyFileHolds(const std::string& text) {
    const fs::path root = fs::path(g_getenv("XDG_DATA_HOME")).parent_path();
    std::error_code error;
    for (fs::recursive_directory_iterator files(root, error), end; !error && files != end;
         files.increment(error)) {
        if (files->is_regular_file(error)) {
            std::ifstream file(files->path(), std::ios::binary);
            if (std::string{std::istreambuf_iterator<char>(file), {}}.find(text) != text.npos) {
                return true;
            }
        }
    }
    return false;
}

using BlockedOutputTest = EngineFixture;

// A download link and the page's print() reach neither the disk nor the screen.
TEST_F(BlockedOutputTest, DownloadLinksAndPrintingAreRefusedWithTheirLines) {
    const std::string token = "saved-answers-" + std::to_string(g_random_int());
    server_.route("/notes.txt", [&token](const ServedRequest&) {
        return Response{200, "text/plain", token, {}};
    });
    server_.page("/", R"(<!doctype html><a download href="/notes.txt">notes</a>
        <script>console.log("ready")</script>)");
    load(url("/"));
    const guint windows = g_list_model_get_n_items(gtk_window_get_toplevels());

    call("document.querySelector('a').click();");
    EXPECT_TRUE(waitForLine("❌ Blocking download: " + url("/notes.txt")));
    EXPECT_EQ(call("print(); return location.pathname;"), R"("/")");
    EXPECT_TRUE(waitForLine("❌ Blocking print"));

    EXPECT_EQ(shown(), kept(url("/")));
    EXPECT_EQ(g_list_model_get_n_items(gtk_window_get_toplevels()), windows);
    EXPECT_FALSE(anyFileHolds(token));
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

// Its "Download Linked File" and "Save Image As" would be a way to the file system.
TEST_F(BlockedOutputTest, ASecondaryClickOpensNoContextMenu) {
    char* xdotool = g_find_program_in_path("xdotool");
    g_free(xdotool);
    if (!GDK_IS_X11_DISPLAY(gdk_display_get_default()) || xdotool == nullptr) {
        GTEST_SKIP() << "the click is sent with xdotool through the X server";
    }
    server_.page("/", R"(<body style="margin: 0; height: 100vh"><script>console.log("ready")
        </script>)");
    open(url("/"));
    ASSERT_TRUE(runUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(webKitView())); }));
    SignalCount menus("context-menu");

    const std::string command =
        "xdotool mousemove --window " +
        std::to_string(gdk_x11_surface_get_xid(gtk_native_get_surface(GTK_NATIVE(window_)))) +
        " 200 200 click 3";
    ASSERT_TRUE(g_spawn_command_line_sync(command.c_str(), nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(runUntil([&] { return menus.value > 0; })) << "the click never reached the engine";
    EXPECT_FALSE(hasVisiblePopover(GTK_WIDGET(webKitView())));
}

}  // namespace
}  // namespace pelunna::test
