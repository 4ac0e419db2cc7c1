#pragma once

#include <gtk/gtk.h>

#include "ports/PermissionScreen.hpp"

namespace pelunna::platform {

// The widgets of the microphone permission screen for the view's current section. Return
// activates the window's default button, which only the undecided and granted sections have.
GtkWidget* buildPermissionScreen(PermissionScreen& view, GtkWindow* window);

}  // namespace pelunna::platform
