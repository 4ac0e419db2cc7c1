#pragma once

#include <gtk/gtk.h>

#include "platform/gtk/UserActivity.hpp"
#include "ports/Alerts.hpp"

namespace pelunna::platform {

// Alerts as modal message dialogs over the application's active window, answered from their
// response.
class GtkAlerts final : public Alerts {
public:
    GtkAlerts(GtkApplication* application, UserActivity& activity)
        : application_(application), activity_(activity) {}
    void runModal(const AlertSpec& alert, std::function<void(const AlertResponse&)> done) override;

private:
    GtkApplication* application_;
    UserActivity& activity_;
};

}  // namespace pelunna::platform
