#pragma once

#include <gtk/gtk.h>

#include <map>

#include "ports/Alerts.hpp"

namespace pelunna::platform {

// Alerts as modal message dialogs over the application's active window, answered from their
// response.
class GtkAlerts final : public Alerts {
public:
    explicit GtkAlerts(GtkApplication* application) : application_(application) {}
    ~GtkAlerts() override;
    GtkAlerts(const GtkAlerts&) = delete;
    GtkAlerts& operator=(const GtkAlerts&) = delete;

    AlertId runModal(const AlertSpec& alert,
                     std::function<void(const AlertResponse&)> done) override;
    void close(AlertId alert) override;

private:
    GtkApplication* application_;
    // Shown and not yet answered.
    std::map<AlertId, GtkDialog*> open_;
    AlertId next_ = 0;
};

}  // namespace pelunna::platform
