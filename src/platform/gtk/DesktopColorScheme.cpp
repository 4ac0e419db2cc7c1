#include "platform/gtk/DesktopColorScheme.hpp"

#include <gtk/gtk.h>

#include <string>

namespace pelunna::platform {
namespace {

constexpr char interfaceSchema[] = "org.gnome.desktop.interface";
constexpr char colorSchemeKey[] = "color-scheme";

// None where the desktop's schemas are too old to know the preference.
GSettings* desktopInterfaceSettings() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source != nullptr
                                  ? g_settings_schema_source_lookup(source, interfaceSchema, TRUE)
                                  : nullptr;
    if (schema == nullptr) {
        return nullptr;
    }
    GSettings* settings = g_settings_schema_has_key(schema, colorSchemeKey)
                              ? g_settings_new(interfaceSchema)
                              : nullptr;
    g_settings_schema_unref(schema);
    return settings;
}

}  // namespace

DesktopColorScheme::DesktopColorScheme() : DesktopColorScheme(desktopInterfaceSettings()) {}

DesktopColorScheme::DesktopColorScheme(GSettings* interface) : interface_(interface) {
    if (interface_ == nullptr) {
        return;
    }
    const std::string signal = std::string("changed::") + colorSchemeKey;
    g_signal_connect(interface_, signal.c_str(), G_CALLBACK(apply), this);
    apply(interface_, colorSchemeKey, this);
}

DesktopColorScheme::~DesktopColorScheme() {
    if (interface_ != nullptr) {
        g_signal_handlers_disconnect_by_data(interface_, this);
        g_object_unref(interface_);
    }
}

void DesktopColorScheme::apply(GSettings* interface, const char* /*key*/, gpointer self) {
    auto* scheme = static_cast<DesktopColorScheme*>(self);
    char* value = g_settings_get_string(interface, colorSchemeKey);
    const bool dark = g_strcmp0(value, "prefer-dark") == 0;
    g_free(value);
    if (dark == scheme->setDark_) {
        return;
    }
    scheme->setDark_ = dark;
    g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", dark, nullptr);
}

}  // namespace pelunna::platform
