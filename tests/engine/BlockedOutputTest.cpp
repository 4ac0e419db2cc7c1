#include <filesystem>
#include <fstream>
#include <string>

#include "EngineFixture.hpp"

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

}  // namespace
}  // namespace pelunna::test
