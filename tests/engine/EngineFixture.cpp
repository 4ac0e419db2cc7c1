#include "EngineFixture.hpp"

#include <filesystem>

namespace pelunna::test {
namespace {

// Set as the view enters the window, before it loads anything.
void enableMockCapture(GtkOverlay* overlay, GParamSpec*, gpointer) {
    GtkWidget* child = gtk_overlay_get_child(overlay);
    if (child == nullptr) {
        return;
    }
    WebKitSettings* settings = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(child));
    webkit_settings_set_enable_mock_capture_devices(settings, TRUE);
    // The test server speaks plain HTTP, where the engine hides capture by default.
    WebKitFeatureList* features = webkit_settings_get_all_features();
    for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
        WebKitFeature* feature = webkit_feature_list_get(features, i);
        if (g_strcmp0(webkit_feature_get_identifier(feature),
                      "MediaCaptureRequiresSecureConnection") == 0) {
            webkit_settings_set_feature_enabled(settings, feature, FALSE);
        }
    }
    webkit_feature_list_unref(features);
}

}  // namespace

EngineFixture::EngineFixture() {
    microphone_.status = MicrophoneStatus::authorized;
    WebKitNetworkProxySettings* proxy =
        webkit_network_proxy_settings_new(server_.url("", "127.0.0.1").c_str(), nullptr);
    webkit_network_session_set_proxy_settings(session_.networkSession(),
                                              WEBKIT_NETWORK_PROXY_MODE_CUSTOM, proxy);
    webkit_network_proxy_settings_free(proxy);
    window_ = GTK_WINDOW(gtk_window_new());
    gtk_window_set_default_size(window_, 800, 600);
    overlay_ = GTK_OVERLAY(gtk_overlay_new());
    g_signal_connect(overlay_, "notify::child", G_CALLBACK(enableMockCapture), nullptr);
    gtk_window_set_child(window_, GTK_WIDGET(overlay_));
    gtk_window_present(window_);
    server_.page("/", readyPage);
    engine_ = std::make_unique<platform::WebKitEngine>(session_, overlay_);
}

std::string EngineFixture::call(const std::string& functionBody, WebKitWebView* view) {
    // The engine may answer after the wait gave up, so the answer outlives this call.
    const auto answer = std::make_shared<std::string>();
    webkit_web_view_call_async_javascript_function(
        view != nullptr ? view : webKitView(), functionBody.c_str(), -1, nullptr, nullptr, nullptr,
        nullptr,
        [](GObject* source, GAsyncResult* async, gpointer data) {
            const std::unique_ptr<std::shared_ptr<std::string>> out(
                static_cast<std::shared_ptr<std::string>*>(data));
            GError* error = nullptr;
            JSCValue* value = webkit_web_view_call_async_javascript_function_finish(
                WEBKIT_WEB_VIEW(source), async, &error);
            char* json = value != nullptr ? jsc_value_to_json(value, 0) : nullptr;
            **out = error != nullptr ? std::string("error: ") + error->message
                                     : (json != nullptr ? json : "undefined");
            g_free(json);
            g_clear_object(&value);
            g_clear_error(&error);
        },
        new std::shared_ptr<std::string>(answer));
    return runUntil([&] { return !answer->empty(); }) ? *answer : "error: no answer";
}

}  // namespace pelunna::test

// Each run gets a fresh home and XDG folders, so that no test sees another's data or the
// user's, and a test can tell what the engine wrote.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Test discovery runs without a display.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    char* made = g_dir_make_tmp("pelunna-engine-XXXXXX", nullptr);
    const std::filesystem::path root = made;
    g_free(made);
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"}) {
        std::filesystem::create_directory(root / name);
        g_setenv(name, (root / name).c_str(), TRUE);
    }
    // The views draw as the client tells them to, not as the test display's setting would force.
    g_unsetenv("WEBKIT_DISABLE_COMPOSITING_MODE");
    g_set_prgname("pelunna-labs");
    gtk_init();
    const int status = RUN_ALL_TESTS();
    std::filesystem::remove_all(root);
    return status;
}
