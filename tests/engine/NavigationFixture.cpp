#include "NavigationFixture.hpp"

#include <algorithm>
#include <memory>

namespace pelunna::test {

SignalRecorder::SignalRecorder(const char* signal)
    : viewClass_(g_type_class_ref(WEBKIT_TYPE_WEB_VIEW)),
      signal_(g_signal_lookup(signal, WEBKIT_TYPE_WEB_VIEW)),
      hook_(g_signal_add_emission_hook(signal_, 0, record, this, nullptr)) {}

SignalRecorder::~SignalRecorder() {
    g_signal_remove_emission_hook(signal_, hook_);
    g_type_class_unref(viewClass_);
}

bool SignalRecorder::sawUri(const std::string& uri) const {
    return std::any_of(emissions_.begin(), emissions_.end(),
                       [&](const Emission& emission) { return emission.uri == uri; });
}

bool SignalRecorder::waitForUri(const std::string& uri) {
    return runUntil([&] { return sawUri(uri); });
}

gboolean SignalRecorder::record(GSignalInvocationHint* hint, guint count, const GValue* values,
                                gpointer self) {
    Emission emission;
    emission.view = WEBKIT_WEB_VIEW(g_value_get_object(&values[0]));
    const std::string name = g_signal_name(hint->signal_id);
    const auto requestUri = [](WebKitNavigationAction* action) {
        WebKitURIRequest* request =
            action != nullptr ? webkit_navigation_action_get_request(action) : nullptr;
        const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
        return std::string(uri != nullptr ? uri : "");
    };
    if (name == "decide-policy" && count > 2) {
        emission.kind = g_value_get_enum(&values[2]);
        if (emission.kind != WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
            emission.uri = requestUri(webkit_navigation_policy_decision_get_navigation_action(
                WEBKIT_NAVIGATION_POLICY_DECISION(g_value_get_object(&values[1]))));
        }
    } else if (name == "create" && count > 1) {
        emission.uri =
            requestUri(static_cast<WebKitNavigationAction*>(g_value_get_boxed(&values[1])));
    } else if (name == "script-dialog" && count > 1) {
        emission.kind = webkit_script_dialog_get_dialog_type(
            static_cast<WebKitScriptDialog*>(g_value_get_boxed(&values[1])));
    } else if (name == "load-failed" && count > 3) {
        emission.kind = g_value_get_enum(&values[1]);
        const char* uri = g_value_get_string(&values[2]);
        emission.uri = uri != nullptr ? uri : "";
        const auto* error = static_cast<const GError*>(g_value_get_boxed(&values[3]));
        emission.error = error != nullptr ? error->message : "";
    }
    static_cast<SignalRecorder*>(self)->emissions_.push_back(emission);
    return TRUE;
}

void NavigationFixture::load(const std::string& pageUrl) {
    open(pageUrl);
    ASSERT_TRUE(waitForLine("✅ Page loaded successfully: " + pageUrl)) << pageUrl;
    ASSERT_EQ(call("window.lessonState = 'kept'; return lessonState;"), R"("kept")");
}

testing::AssertionResult NavigationFixture::stillShows(const std::string& pageUrl) {
    const std::string expected = "[\"" + pageUrl + "\",\"kept\"]";
    const std::string shown = call("return [location.href, window.lessonState];");
    if (shown == expected) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "the view shows " << shown << ", not " << expected;
}

std::vector<std::string> NavigationFixture::clientLinesSince(std::size_t from) const {
    std::vector<std::string> lines;
    const std::string console = consoleLine("");
    for (std::size_t i = from; i < log_.lines.size(); ++i) {
        const std::string& line = log_.lines[i];
        if (!line.starts_with(console) && line != "🧹 Cache cleared") {
            lines.push_back(line);
        }
    }
    return lines;
}

bool NavigationFixture::waitForLineSince(std::size_t from, const std::string& line) {
    return runUntil([&] {
        return std::find(log_.lines.begin() + static_cast<std::ptrdiff_t>(from), log_.lines.end(),
                         line) != log_.lines.end();
    });
}

std::vector<WebKitWebView*> NavigationFixture::popupViews() const {
    std::vector<WebKitWebView*> views;
    GtkWidget* main = gtk_overlay_get_child(overlay_);
    for (GtkWidget* child = gtk_widget_get_first_child(GTK_WIDGET(overlay_)); child != nullptr;
         child = gtk_widget_get_next_sibling(child)) {
        if (child != main && WEBKIT_IS_WEB_VIEW(child)) {
            views.push_back(WEBKIT_WEB_VIEW(child));
        }
    }
    return views;
}

void NavigationFixture::start(const std::string& script) {
    webkit_web_view_evaluate_javascript(webKitView(), script.c_str(), -1, nullptr, nullptr, nullptr,
                                        nullptr, nullptr);
}

}  // namespace pelunna::test
