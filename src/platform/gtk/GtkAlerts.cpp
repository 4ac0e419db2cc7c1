#include "platform/gtk/GtkAlerts.hpp"

#include <memory>
#include <utility>
#include <vector>

#include "platform/gtk/InspectorKeys.hpp"

namespace pelunna::platform {
namespace {

constexpr int textFieldWidth = 260;
constexpr int textFieldHeight = 24;

struct Pending {
    std::function<void(const AlertResponse&)> done;
    GtkEditable* textField = nullptr;
};

void onResponse(GtkDialog* dialog, int response, gpointer data) {
    std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
    g_signal_handlers_disconnect_by_data(dialog, data);
    AlertResponse answer{response, ""};
    if (pending->textField != nullptr) {
        answer.textFieldValue = gtk_editable_get_text(pending->textField);
    }
    gtk_window_destroy(GTK_WINDOW(dialog));
    pending->done(answer);
}

}  // namespace

GtkAlerts::~GtkAlerts() {
    for (const auto& [id, dialog] : open_) {
        g_signal_handlers_disconnect_by_data(dialog, this);
    }
}

void GtkAlerts::close(AlertId alert) {
    const auto shown = open_.find(alert);
    if (shown != open_.end()) {
        gtk_dialog_response(shown->second, GTK_RESPONSE_CLOSE);
    }
}

AlertId GtkAlerts::runModal(const AlertSpec& alert,
                            std::function<void(const AlertResponse&)> done) {
    GtkWidget* dialog = gtk_message_dialog_new(
        gtk_application_get_active_window(application_),
        static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s", alert.messageText.c_str());
    if (!alert.informativeText.empty()) {
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                                 alert.informativeText.c_str());
    }
    // GNOME's order: the default button rightmost, the others to its left, the first nearest to
    // it ("Cancel" left of "Open Settings", "Don't Allow" left of "Allow"). Escape closes the
    // alert, which answers as no button does: as "Cancel".
    std::vector<std::size_t> order;
    for (std::size_t index = alert.buttons.size(); index-- > 0;) {
        if (index != alert.defaultButton) {
            order.push_back(index);
        }
    }
    order.push_back(alert.defaultButton);
    for (const std::size_t index : order) {
        gtk_dialog_add_button(GTK_DIALOG(dialog), alert.buttons.at(index).c_str(),
                              AlertResponse::firstButton + static_cast<int>(index));
    }
    gtk_widget_add_css_class(dialog, "pelunna-alert");
    // What a screen reader names the alert by.
    gtk_window_set_title(GTK_WINDOW(dialog), alert.messageText.c_str());
    // The application's shortcuts work over an alert too: Ctrl+Q must free a learner from a page
    // that raises one alert after another.
    gtk_window_set_application(GTK_WINDOW(dialog), application_);
    refuseInspectorKeys(GTK_WINDOW(dialog));
    activity_.watch(GTK_WINDOW(dialog));
    // Drawn by the client, as the rest of the kiosk is, not framed by the window manager.
    gtk_window_set_titlebar(GTK_WINDOW(dialog), gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0));
    const int defaultResponse = AlertResponse::firstButton + static_cast<int>(alert.defaultButton);
    GtkWidget* defaultButton =
        gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), defaultResponse);
    gtk_widget_add_css_class(defaultButton, "suggested-action");
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), defaultResponse);
    gtk_window_set_focus(GTK_WINDOW(dialog), defaultButton);

    auto* pending = new Pending{std::move(done), nullptr};
    if (alert.textFieldValue) {
        GtkWidget* field = gtk_entry_new();
        gtk_widget_set_size_request(field, textFieldWidth, textFieldHeight);
        gtk_editable_set_text(GTK_EDITABLE(field), alert.textFieldValue->c_str());
        gtk_entry_set_activates_default(GTK_ENTRY(field), TRUE);
        gtk_box_append(GTK_BOX(gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog))),
                       field);
        pending->textField = GTK_EDITABLE(field);
        // A prompt is answered by typing; Return still chooses the default button.
        gtk_window_set_focus(GTK_WINDOW(dialog), field);
    }
    g_signal_connect(dialog, "response", G_CALLBACK(onResponse), pending);
    // Also destroyed unanswered, with the window it is shown over.
    const AlertId id = next_++;
    open_.emplace(id, GTK_DIALOG(dialog));
    g_signal_connect(dialog, "destroy", G_CALLBACK(+[](GtkWidget* widget, gpointer self) {
                         std::erase_if(static_cast<GtkAlerts*>(self)->open_,
                                       [widget](const auto& shown) {
                                           return GTK_WIDGET(shown.second) == widget;
                                       });
                     }),
                     this);
    gtk_window_present(GTK_WINDOW(dialog));
    return id;
}

}  // namespace pelunna::platform
