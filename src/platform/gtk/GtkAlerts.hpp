#pragma once

#include <gtk/gtk.h>

#include "ports/Alerts.hpp"

namespace pelunna::platform {

// Alerts as modal message dialogs over the application's active window, answered from their
// response.
class GtkAlerts final : public Alerts {
public:
    explicit GtkAlerts(GtkApplication* application) : application_(application) {}
    void runModal(const AlertSpec& alert, std::function<void(const AlertResponse&)> done) override;

private:
    GtkApplication* application_;
};

}  // namespace pelunna::platform
