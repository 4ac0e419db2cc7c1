#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <utility>

namespace pelunna::platform {

// Hears every key press, pointer motion, button, scroll and touch on the client's windows,
// before anything in them does, so that an idle seat can be told from one in use. What the
// listener answers true for goes nowhere else.
class UserActivity final {
public:
    void watch(GtkWindow* window);
    void setListener(std::function<bool()> listener) { listener_ = std::move(listener); }

private:
    static gboolean onEvent(GtkEventControllerLegacy* controller, GdkEvent* event, gpointer self);

    std::function<bool()> listener_;
};

}  // namespace pelunna::platform
