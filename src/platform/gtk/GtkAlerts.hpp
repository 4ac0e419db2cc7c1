#pragma once

#include <gtk/gtk.h>

#include <map>

#include "platform/gtk/UserActivity.hpp"
#include "ports/Alerts.hpp"

namespace pelunna::platform {

// Alerts as modal message dialogs over the application's active window, answered from their
// response.
class GtkAlerts final : public Alerts {
public:
    GtkAlerts(GtkApplication* application, UserActivity& activity)
        : application_(application), activity_(activity) {}
    ~GtkAlerts() override;
    GtkAlerts(const GtkAlerts&) = delete;
    GtkAlerts& operator=(const GtkAlerts&) = delete;

    AlertId runModal(const AlertSpec& alert,
                     std::function<void(const AlertResponse&)> done) override;
    void close(AlertId alert) override;

private:
    GtkApplication* application_;
    UserActivity& activity_;
    // Shown and not yet answered.
    std::map<AlertId, GtkDialog*> open_;
    AlertId next_ = 0;
};

}  // namespace pelunna::platform
