#include "platform/webkit/NoticeWidget.hpp"

#include <string>

namespace pelunna::platform {
namespace {

GtkWidget* line(const char* cssClass) {
    GtkWidget* label = gtk_label_new(nullptr);
    gtk_widget_add_css_class(label, cssClass);
    gtk_label_set_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
    return label;
}

}  // namespace

NoticeWidget::NoticeWidget(GtkOverlay* overlay, GtkAlign verticalPlace)
    : overlay_(GTK_OVERLAY(g_object_ref(overlay))), verticalPlace_(verticalPlace) {}

NoticeWidget::~NoticeWidget() {
    // The window may have let go of the overlay already, at quit.
    if (box_ != nullptr && gtk_widget_get_parent(box_) == GTK_WIDGET(overlay_)) {
        gtk_overlay_remove_overlay(overlay_, box_);
    }
    g_object_unref(overlay_);
}

void NoticeWidget::show(const std::optional<Notice>& notice) {
    if (!notice) {
        if (box_ != nullptr) {
            gtk_widget_set_visible(box_, FALSE);
        }
        return;
    }
    if (box_ == nullptr) {
        box_ = GTK_WIDGET(g_object_new(GTK_TYPE_BOX, "orientation", GTK_ORIENTATION_VERTICAL,
                                       "spacing", 12, "accessible-role", GTK_ACCESSIBLE_ROLE_ALERT,
                                       nullptr));
        gtk_widget_add_css_class(box_, "pelunna-notice");
        gtk_widget_set_halign(box_, GTK_ALIGN_CENTER);
        gtk_widget_set_valign(box_, verticalPlace_);
        text_ = line("pelunna-notice-text");
        detail_ = line("pelunna-notice-detail");
        gtk_box_append(GTK_BOX(box_), text_);
        gtk_box_append(GTK_BOX(box_), detail_);
        gtk_overlay_add_overlay(overlay_, box_);
    }
    gtk_label_set_text(GTK_LABEL(text_), notice->text.c_str());
    gtk_label_set_text(GTK_LABEL(detail_), notice->detail.c_str());
    gtk_widget_set_visible(detail_, notice->detail.empty() ? FALSE : TRUE);
    const std::string spoken =
        notice->detail.empty() ? notice->text : notice->text + " " + notice->detail;
    gtk_accessible_update_property(GTK_ACCESSIBLE(box_), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                   spoken.c_str(), -1);
    gtk_widget_set_visible(box_, TRUE);
}

}  // namespace pelunna::platform
