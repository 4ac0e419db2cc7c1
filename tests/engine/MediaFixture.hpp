#pragma once

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "EngineFixture.hpp"

namespace pelunna::test {

// The desktop's microphone decision as the test sets it. Requests wait until the test answers
// them, as they wait for the learner at the desktop's prompt.
class ScriptedMicrophone final : public MicrophoneAuthorization {
public:
    [[nodiscard]] MicrophoneStatus authorizationStatus() const override {
        ++statusReads;
        return status;
    }
    void requestAccess(std::function<void(bool granted)> completion) override {
        held.push_back(std::move(completion));
    }
    // Answers every waiting request and stores the answer, as the desktop service does.
    void answer(bool granted) {
        status = granted ? MicrophoneStatus::authorized : MicrophoneStatus::denied;
        std::vector<std::function<void(bool)>> waiting;
        waiting.swap(held);
        for (const auto& completion : waiting) {
            completion(granted);
        }
    }

    MicrophoneStatus status = MicrophoneStatus::authorized;
    mutable int statusReads = 0;
    std::vector<std::function<void(bool)>> held;
};

// Alerts as the learner would see them, each with how many log lines were printed before it and
// whether the engine was still waiting inside its permission request.
class RecordingAlerts final : public Alerts {
public:
    explicit RecordingAlerts(const RecordingLog& log) : log_(log) {}

    struct Shown {
        AlertSpec alert;
        std::size_t linesBefore;
        bool duringPermissionRequest;
    };

    void runModal(const AlertSpec& alert,
                  std::function<void(const AlertResponse&)> /*done*/) override {
        // Left open: nothing the client does may depend on the learner dismissing it.
        shown.push_back(
            {alert, log_.lines.size(), insidePermissionRequest && insidePermissionRequest()});
    }

    std::vector<Shown> shown;
    std::function<bool()> insidePermissionRequest;

private:
    const RecordingLog& log_;
};

// The engine fixture with WebKit's mock capture devices, a scripted microphone decision and
// recorded alerts.
class MediaFixture : public EngineFixture {
protected:
    MediaFixture() {
        alerts_ = &alerts;
        microphone_ = &microphone;
        alerts.insidePermissionRequest = [this] {
            const GSignalInvocationHint* hint = g_signal_get_invocation_hint(webKitView());
            return hint != nullptr && hint->signal_id == permissionSignal_;
        };
        // The view takes its settings from the client when it is made; they are set here, as it
        // enters the window and before it loads anything.
        g_signal_connect(overlay_, "notify::child", G_CALLBACK(onChild), this);
        // The class registers its signals when first used, which may not have happened yet.
        g_type_class_unref(g_type_class_ref(WEBKIT_TYPE_WEB_VIEW));
        permissionSignal_ = g_signal_lookup("permission-request", WEBKIT_TYPE_WEB_VIEW);
    }

    ~MediaFixture() override { g_signal_handlers_disconnect_by_data(overlay_, this); }

    // Asks for media from the main frame; the track list ("audio:label") or the error's name.
    std::string capture(const std::string& constraints) {
        return call(
            "try {"
            "  const stream = await navigator.mediaDevices.getUserMedia(" +
            constraints +
            ");"
            "  const tracks = stream.getTracks();"
            "  tracks.forEach((t) => t.stop());"
            "  return tracks.map((t) => t.kind + ':' + t.label);"
            "} catch (e) { return e.name; }");
    }

    // Off for pages that are to see the engine as an insecure context sees it.
    bool captureOnInsecureOrigins_ = true;

    ScriptedMicrophone microphone;
    RecordingAlerts alerts{log_};

private:
    static void onChild(GtkOverlay* overlay, GParamSpec*, gpointer data) {
        auto* self = static_cast<MediaFixture*>(data);
        GtkWidget* child = gtk_overlay_get_child(overlay);
        if (child == nullptr || !WEBKIT_IS_WEB_VIEW(child)) {
            return;
        }
        WebKitSettings* settings = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(child));
        webkit_settings_set_enable_mock_capture_devices(settings, TRUE);
        if (self->captureOnInsecureOrigins_) {
            // The test server speaks plain HTTP, where the engine hides capture by default.
            setFeature(settings, "MediaCaptureRequiresSecureConnection", false);
        }
    }

    static void setFeature(WebKitSettings* settings, const char* identifier, bool enabled) {
        WebKitFeatureList* features = webkit_settings_get_all_features();
        bool found = false;
        for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
            WebKitFeature* feature = webkit_feature_list_get(features, i);
            if (std::strcmp(webkit_feature_get_identifier(feature), identifier) == 0) {
                webkit_settings_set_feature_enabled(settings, feature, enabled ? TRUE : FALSE);
                found = true;
            }
        }
        webkit_feature_list_unref(features);
        EXPECT_TRUE(found) << "the engine has no feature " << identifier;
    }

    guint permissionSignal_ = 0;
};

}  // namespace pelunna::test
