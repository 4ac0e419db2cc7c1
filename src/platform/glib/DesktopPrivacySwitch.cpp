#include "platform/glib/DesktopPrivacySwitch.hpp"

namespace pelunna::platform {
namespace {

constexpr char privacySchema[] = "org.gnome.desktop.privacy";
constexpr char microphoneKey[] = "disable-microphone";

}  // namespace

DesktopPrivacySwitch::DesktopPrivacySwitch() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source != nullptr ? g_settings_schema_source_lookup(source, privacySchema, TRUE) : nullptr;
    if (schema == nullptr) {
        return;
    }
    if (g_settings_schema_has_key(schema, microphoneKey)) {
        privacy_ = g_settings_new(privacySchema);
    }
    g_settings_schema_unref(schema);
}

DesktopPrivacySwitch::~DesktopPrivacySwitch() {
    if (privacy_ != nullptr) {
        g_object_unref(privacy_);
    }
}

bool DesktopPrivacySwitch::microphoneDisabledByDesktop() const {
    return privacy_ != nullptr && g_settings_get_boolean(privacy_, microphoneKey) != FALSE;
}

}  // namespace pelunna::platform
