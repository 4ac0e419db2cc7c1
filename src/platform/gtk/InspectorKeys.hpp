#pragma once

#include <gtk/gtk.h>

namespace pelunna::platform {

// GTK opens its Inspector, which edits the client's own widgets, on Ctrl+Shift+I and Ctrl+Shift+D
// wherever the desktop leaves that on (Debian does): the kiosk's windows swallow both.
void refuseInspectorKeys(GtkWindow* window);

}  // namespace pelunna::platform
