#pragma once

#include <gio/gio.h>

namespace pelunna::platform {

// Lets pages follow GNOME's light or dark preference, which GTK 4 alone does not read: while the
// desktop prefers dark, GTK, and with it WebKit's prefers-color-scheme, is told so. A dark GTK
// theme is followed by the engine itself.
class DesktopColorScheme final {
public:
    // Follows the desktop's own settings.
    DesktopColorScheme();
    // Follows these settings of the org.gnome.desktop.interface schema, and keeps the reference.
    explicit DesktopColorScheme(GSettings* interface);
    ~DesktopColorScheme();
    DesktopColorScheme(const DesktopColorScheme&) = delete;
    DesktopColorScheme& operator=(const DesktopColorScheme&) = delete;

private:
    static void apply(GSettings* interface, const char* key, gpointer self);

    GSettings* interface_ = nullptr;
    // Only what this class set is taken back: a dark preference of the user's GTK settings stays.
    bool setDark_ = false;
};

}  // namespace pelunna::platform
