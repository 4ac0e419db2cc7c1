#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <string>

namespace {

// Each run gets a fresh home and XDG folders, so that no test sees another's data or the
// user's, and a test can tell what the engine wrote.
std::string makePrivateXdgFolders() {
    GError* error = nullptr;
    char* root = g_dir_make_tmp("pelunna-engine-XXXXXX", &error);
    if (root == nullptr) {
        g_error("cannot make a temporary folder: %s", error->message);
    }
    std::string folder = root;
    g_free(root);
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"}) {
        const std::filesystem::path path = std::filesystem::path(folder) / name;
        std::filesystem::create_directory(path);
        g_setenv(name, path.c_str(), TRUE);
    }
    return folder;
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Test discovery runs without a display.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    const std::string folder = makePrivateXdgFolders();
    g_set_prgname("pelunna-labs");
    gtk_init();
    const int status = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return status;
}
