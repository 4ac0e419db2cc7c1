#include "platform/gtk/GtkPermissionScreen.hpp"

#include <initializer_list>

namespace pelunna::platform {
namespace {

GtkWidget* label(const char* text, const char* cssClass) {
    GtkWidget* widget = gtk_label_new(text);
    gtk_widget_add_css_class(widget, cssClass);
    return widget;
}

// Every symbol stands beside words that say the same: a screen reader skips it.
GtkWidget* icon(const char* name, const char* cssClass) {
    GtkWidget* widget =
        GTK_WIDGET(g_object_new(GTK_TYPE_IMAGE, "accessible-role", GTK_ACCESSIBLE_ROLE_PRESENTATION,
                                "icon-name", name, nullptr));
    gtk_widget_add_css_class(widget, cssClass);
    return widget;
}

GtkWidget* heading(const char* text, const char* cssClass) {
    GtkWidget* widget = GTK_WIDGET(g_object_new(
        GTK_TYPE_LABEL, "accessible-role", GTK_ACCESSIBLE_ROLE_HEADING, "label", text, nullptr));
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_PROPERTY_LEVEL, 1, -1);
    gtk_widget_add_css_class(widget, cssClass);
    return widget;
}

GtkWidget* row(std::initializer_list<GtkWidget*> children, int spacing = 8) {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, spacing);
    gtk_widget_set_halign(box, GTK_ALIGN_CENTER);
    for (GtkWidget* child : children) {
        gtk_box_append(GTK_BOX(box), child);
    }
    return box;
}

GtkWidget* wrappedText(const char* text, const char* cssClass, int maximumCharacters) {
    GtkWidget* widget = label(text, cssClass);
    gtk_label_set_wrap(GTK_LABEL(widget), TRUE);
    gtk_label_set_justify(GTK_LABEL(widget), GTK_JUSTIFY_CENTER);
    gtk_label_set_max_width_chars(GTK_LABEL(widget), maximumCharacters);
    return widget;
}

using Action = void (PermissionScreen::*)();

// A button showing content, named by the text it shows.
GtkWidget* button(const char* text, GtkWidget* content, const char* cssClass,
                  PermissionScreen& view, Action action) {
    GtkWidget* widget = gtk_button_new();
    gtk_button_set_child(GTK_BUTTON(widget), content);
    gtk_accessible_update_property(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_PROPERTY_LABEL, text, -1);
    gtk_widget_add_css_class(widget, "permission-button");
    gtk_widget_add_css_class(widget, cssClass);
    gtk_widget_set_halign(widget, GTK_ALIGN_CENTER);
    struct Target {
        PermissionScreen* view;
        Action action;
    };
    g_signal_connect_data(
        widget, "clicked", G_CALLBACK(+[](GtkButton*, gpointer data) {
            auto* target = static_cast<Target*>(data);
            (target->view->*target->action)();
        }),
        new Target{&view, action},
        [](gpointer data, GClosure*) { delete static_cast<Target*>(data); }, G_CONNECT_DEFAULT);
    return widget;
}

// Return chooses it; it alone takes the keyboard focus.
void makeDefault(GtkWidget* widget, GtkWindow* window) {
    gtk_window_set_default_widget(window, widget);
    gtk_widget_grab_focus(widget);
}

// Buttons without a keyboard shortcut: Return must do nothing in their section.
GtkWidget* withoutFocus(GtkWidget* widget) {
    gtk_widget_set_focusable(widget, FALSE);
    gtk_widget_set_focus_on_click(widget, FALSE);
    return widget;
}

}  // namespace

GtkWidget* buildPermissionScreen(PermissionScreen& view, GtkWindow* window) {
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 30);
    gtk_widget_add_css_class(column, "permission-content");
    gtk_widget_set_halign(column, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(column, GTK_ALIGN_CENTER);

    GtkWidget* header = icon("audio-input-microphone-symbolic", "permission-header-icon");
    gtk_image_set_pixel_size(GTK_IMAGE(header), 80);
    gtk_box_append(GTK_BOX(column), header);
    gtk_box_append(GTK_BOX(column), heading("Microphone Permission Required", "permission-title"));
    gtk_box_append(GTK_BOX(column),
                   wrappedText("Pelunna Tamil Labs needs microphone access for pronunciation "
                               "checking and speaking activities in the language lab.",
                               "permission-description", 62));

    gtk_window_set_default_widget(window, nullptr);
    switch (view.section()) {
        case PermissionSection::undecided: {
            constexpr char text[] = "Grant Microphone Access";
            GtkWidget* grant =
                button(text,
                       row({icon("audio-input-microphone-symbolic", "permission-button-icon"),
                            label(text, "permission-button-label")}),
                       "primary-large", view, &PermissionScreen::grantMicrophoneAccess);
            gtk_box_append(GTK_BOX(column), grant);
            makeDefault(grant, window);
            break;
        }
        case PermissionSection::granted: {
            gtk_box_append(GTK_BOX(column),
                           row({icon("emblem-ok-symbolic", "permission-granted"),
                                label("Microphone access granted", "permission-granted")}));
            constexpr char text[] = "Continue to Pelunna Labs";
            GtkWidget* proceed = button(text,
                                        row({label(text, "permission-button-label"),
                                             icon("go-next-symbolic", "permission-button-icon")}),
                                        "primary-large", view, &PermissionScreen::continueToLabs);
            gtk_box_append(GTK_BOX(column), proceed);
            makeDefault(proceed, window);
            break;
        }
        case PermissionSection::refused: {
            constexpr char settingsText[] = "Open System Settings";
            constexpr char withoutText[] = "Continue Without Microphone";
            gtk_box_append(GTK_BOX(column),
                           row({icon("process-stop-symbolic", "permission-refused"),
                                label("Microphone access was denied", "permission-refused")}));
            gtk_box_append(GTK_BOX(column),
                           wrappedText("Please enable microphone access in System Settings to use "
                                       "pronunciation and speaking activities.",
                                       "permission-explanation", 56));
            gtk_box_append(
                GTK_BOX(column),
                row({withoutFocus(
                         button(settingsText,
                                row({icon("emblem-system-symbolic", "permission-button-icon"),
                                     label(settingsText, "permission-button-label")}),
                                "primary-small", view, &PermissionScreen::openMicrophoneSettings)),
                     withoutFocus(button(withoutText, label(withoutText, "permission-button-label"),
                                         "secondary-small", view,
                                         &PermissionScreen::continueToLabs))},
                    20));
            break;
        }
    }

    GtkWidget* screen = gtk_overlay_new();
    gtk_widget_add_css_class(screen, "permission-screen");
    gtk_overlay_set_child(GTK_OVERLAY(screen), column);
    return screen;
}

}  // namespace pelunna::platform
