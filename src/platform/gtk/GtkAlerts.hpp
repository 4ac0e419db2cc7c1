#pragma once

#include <gtk/gtk.h>

#include "platform/Alerts.hpp"

namespace pelunna::platform {

// Alerts as modal message dialogs over a parent window, answered from their response.
class GtkAlerts final : public Alerts {
public:
    explicit GtkAlerts(GtkWindow* parent) : parent_(parent) {}
    void runModal(const AlertSpec& alert, std::function<void(const AlertResponse&)> done) override;

private:
    GtkWindow* parent_;
};

}  // namespace pelunna::platform
