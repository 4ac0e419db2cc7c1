#pragma once

#include <gtk/gtk.h>

#include <vector>

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

    void runModal(const AlertSpec& alert, std::function<void(const AlertResponse&)> done) override;
    void closeAll() override;

private:
    GtkApplication* application_;
    // Shown and not yet answered.
    std::vector<GtkDialog*> open_;
};

}  // namespace pelunna::platform
