#include "platform/gtk/GtkMainWindow.hpp"

#include <algorithm>

#include "platform/gtk/GtkPermissionScreen.hpp"
#include "platform/gtk/InspectorKeys.hpp"

namespace pelunna::platform {
namespace {

constexpr std::uint64_t platformStyleBits = StyleMask::resizable | StyleMask::fullScreen;

GtkWidget* makeTitlebar(const WindowSettings& settings) {
    GtkWidget* bar = gtk_header_bar_new();
    gtk_widget_add_css_class(bar, "pelunna-titlebar");
    // Without a title widget of its own GTK would show the application's name.
    if (settings.titleHidden) {
        gtk_header_bar_set_title_widget(GTK_HEADER_BAR(bar),
                                        gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0));
    }
    const bool onlyClose = settings.miniaturizeButtonHidden && settings.zoomButtonHidden;
    gtk_header_bar_set_decoration_layout(GTK_HEADER_BAR(bar), onlyClose ? ":close" : nullptr);
    return bar;
}

}  // namespace

GtkMainWindow::GtkMainWindow(GtkApplication* application, const WindowSettings& settings,
                             WebKitSession& session, UserActivity& activity)
    : window_(GTK_WINDOW(gtk_application_window_new(application))),
      keptStyleBits_(settings.styleMask & ~platformStyleBits),
      transparentTitlebar_(settings.titlebarAppearsTransparent),
      layout_(gtk_box_new(GTK_ORIENTATION_VERTICAL, 0)),
      webContent_(GTK_WIDGET(g_object_ref_sink(gtk_overlay_new()))),
      engine_(std::make_unique<WebKitEngine>(session, GTK_OVERLAY(webContent_))) {
    g_object_ref(window_);
    gtk_widget_add_css_class(webContent_, "pelunna-web-content");
    // The root view learns that its web content appeared when the engine view is first shown.
    g_signal_connect(webContent_, "map", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                         auto* window = static_cast<GtkMainWindow*>(self);
                         window->root_->onWebViewAppear(*window);
                     }),
                     this);
    gtk_widget_add_css_class(GTK_WIDGET(window_), "pelunna-main-window");
    // Hidden by the empty title widget, but what a screen reader names the window by.
    gtk_window_set_title(window_, g_get_application_name());
    refuseInspectorKeys(window_);
    activity.watch(window_);
    gtk_window_set_default_size(window_, static_cast<int>(settings.contentRect.size.width),
                                static_cast<int>(settings.contentRect.size.height));
    gtk_window_set_resizable(window_, (settings.styleMask & StyleMask::resizable) != 0);
    gtk_window_set_titlebar(window_, makeTitlebar(settings));
    // In a window the menu bar sits above the screen; in full screen it slides over the page
    // instead, so that showing it never resizes the page under the learner's pointer.
    gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window_), FALSE);
    GMenuModel* menu = gtk_application_get_menubar(application);
    menubar_ = gtk_popover_menu_bar_new_from_model(menu);
    gtk_widget_add_css_class(menubar_, "pelunna-menubar");
    gtk_box_append(GTK_BOX(layout_), menubar_);
    GtkWidget* overPage = gtk_popover_menu_bar_new_from_model(menu);
    gtk_widget_add_css_class(overPage, "pelunna-menubar");
    gtk_widget_add_css_class(overPage, "over-page");
    // Its items would take the keyboard from the page as the pointer passes over them.
    gtk_widget_set_can_focus(overPage, FALSE);
    menubarOverPage_ = gtk_revealer_new();
    gtk_revealer_set_transition_type(GTK_REVEALER(menubarOverPage_),
                                     GTK_REVEALER_TRANSITION_TYPE_SLIDE_DOWN);
    gtk_revealer_set_child(GTK_REVEALER(menubarOverPage_), overPage);
    gtk_widget_set_valign(menubarOverPage_, GTK_ALIGN_START);
    GtkWidget* frame = gtk_overlay_new();
    gtk_overlay_set_child(GTK_OVERLAY(frame), layout_);
    gtk_overlay_add_overlay(GTK_OVERLAY(frame), menubarOverPage_);
    gtk_window_set_child(window_, frame);
    notice_ = std::make_unique<NoticeWidget>(GTK_OVERLAY(frame), GTK_ALIGN_START);
    g_signal_connect(window_, "notify::fullscreened", G_CALLBACK(onFullscreenChanged), this);
    g_signal_connect(window_, "close-request", G_CALLBACK(onCloseRequest), this);
    GtkEventController* motion = gtk_event_controller_motion_new();
    g_signal_connect(motion, "motion", G_CALLBACK(onPointerMotion), this);
    gtk_widget_add_controller(GTK_WIDGET(window_), motion);
}

GtkMainWindow::~GtkMainWindow() {
    g_signal_handlers_disconnect_by_data(window_, this);
    g_signal_handlers_disconnect_by_data(webContent_, this);
    notice_.reset();
    engine_.reset();
    g_object_unref(webContent_);
    g_object_unref(window_);
}

std::uint64_t GtkMainWindow::styleMask() const {
    std::uint64_t mask = keptStyleBits_;
    if (gtk_window_get_resizable(window_)) {
        mask |= StyleMask::resizable;
    }
    if (gtk_window_is_fullscreen(window_)) {
        mask |= StyleMask::fullScreen;
    }
    return mask;
}

void GtkMainWindow::setStyleMask(std::uint64_t mask) {
    keptStyleBits_ = mask & ~platformStyleBits;
    gtk_window_set_resizable(window_, (mask & StyleMask::resizable) != 0);
}

void GtkMainWindow::toggleFullScreen() {
    if (gtk_window_is_fullscreen(window_)) {
        gtk_window_unfullscreen(window_);
    } else {
        gtk_window_fullscreen(window_);
    }
}

void GtkMainWindow::setContentView(RootView& root) {
    root_ = &root;
    root.attach(*this, *engine_);
}

void GtkMainWindow::showPermissionScreen(PermissionScreen& screen) {
    // A transparent title bar shows the screen's colour: the title and menu bars take it.
    if (transparentTitlebar_) {
        for (GtkWidget* bar : {gtk_window_get_titlebar(window_), menubar_}) {
            gtk_widget_add_css_class(bar, "permission");
        }
    }
    setContent(buildPermissionScreen(screen, window_));
}

void GtkMainWindow::setContent(GtkWidget* content) {
    if (content_ != nullptr) {
        gtk_box_remove(GTK_BOX(layout_), content_);
    }
    content_ = content;
    gtk_widget_set_vexpand(content_, TRUE);
    gtk_box_append(GTK_BOX(layout_), content_);
}

void GtkMainWindow::showWebContent() {
    gtk_window_set_default_widget(window_, nullptr);
    for (GtkWidget* bar : {gtk_window_get_titlebar(window_), menubar_}) {
        gtk_widget_remove_css_class(bar, "permission");
    }
    setContent(webContent_);
    gtk_widget_grab_focus(gtk_overlay_get_child(GTK_OVERLAY(webContent_)));
}

void GtkMainWindow::setDelegate(WindowDelegate* delegate) {
    delegate_ = delegate;
}

void GtkMainWindow::makeKeyAndOrderFront() {
    gtk_window_present(window_);
}

void GtkMainWindow::showNotice(const std::optional<Notice>& notice) {
    notice_->show(notice);
}

void GtkMainWindow::addLocalMonitorForKeyDown(
    std::function<KeyDisposition(const KeyEvent&)> handler) {
    keyHandler_ = std::move(handler);
    GtkEventController* controller = gtk_event_controller_key_new();
    gtk_event_controller_set_propagation_phase(controller, GTK_PHASE_CAPTURE);
    g_signal_connect(controller, "key-pressed", G_CALLBACK(onKeyPressed), this);
    gtk_widget_add_controller(GTK_WIDGET(window_), controller);
}

void GtkMainWindow::onFullscreenChanged(GObject* /*object*/, GParamSpec* /*property*/,
                                        gpointer self) {
    auto* window = static_cast<GtkMainWindow*>(self);
    const bool fullScreen = gtk_window_is_fullscreen(window->window_) != FALSE;
    if (fullScreen == window->fullScreen_ || window->delegate_ == nullptr) {
        return;
    }
    window->fullScreen_ = fullScreen;
    // In full screen the menu bar hides; it comes back over the page while the pointer is at
    // the top edge.
    gtk_widget_set_visible(window->menubar_, !fullScreen);
    gtk_revealer_set_reveal_child(GTK_REVEALER(window->menubarOverPage_), FALSE);
    if (fullScreen) {
        window->delegate_->windowDidEnterFullScreen(window->shared_from_this());
    } else {
        window->delegate_->windowWillExitFullScreen(window->shared_from_this());
    }
}

void GtkMainWindow::onPointerMotion(GtkEventControllerMotion* /*controller*/, double /*x*/,
                                    double y, gpointer self) {
    constexpr double revealEdge = 2;
    constexpr double menubarReach = 48;
    auto* window = static_cast<GtkMainWindow*>(self);
    if (!window->fullScreen_) {
        return;
    }
    auto* revealer = GTK_REVEALER(window->menubarOverPage_);
    const bool shown = gtk_revealer_get_reveal_child(revealer) != FALSE;
    if (!shown && y <= revealEdge) {
        gtk_revealer_set_reveal_child(revealer, TRUE);
    } else if (shown && y > menubarReach) {
        gtk_revealer_set_reveal_child(revealer, FALSE);
    }
}

gboolean GtkMainWindow::onCloseRequest(GtkWindow* /*window*/, gpointer self) {
    auto* window = static_cast<GtkMainWindow*>(self);
    const bool mayClose =
        window->delegate_ == nullptr || window->delegate_->windowShouldClose(*window);
    return mayClose ? FALSE : TRUE;
}

gboolean GtkMainWindow::onKeyPressed(GtkEventControllerKey* controller, guint keyval, guint keycode,
                                     GdkModifierType state, gpointer self) {
    auto* window = static_cast<GtkMainWindow*>(self);
    const std::pair<guint32, guint> press{
        gtk_event_controller_get_current_event_time(GTK_EVENT_CONTROLLER(controller)), keycode};
    auto& recent = window->recentKeys_;
    if (std::find(recent.begin(), recent.end(), press) != recent.end()) {
        return FALSE;
    }
    recent[window->nextRecentKey_++ % recent.size()] = press;

    KeyEvent event;
    event.escape = keyval == GDK_KEY_Escape;
    event.command = (state & GDK_CONTROL_MASK) != 0;
    const gunichar character = gdk_keyval_to_unicode(keyval);
    if (character != 0) {
        char utf8[6] = {};
        const int length = g_unichar_to_utf8(character, utf8);
        event.charactersIgnoringModifiers = std::string(utf8, static_cast<std::size_t>(length));
    }
    return window->keyHandler_(event) == KeyDisposition::consume ? TRUE : FALSE;
}

}  // namespace pelunna::platform
