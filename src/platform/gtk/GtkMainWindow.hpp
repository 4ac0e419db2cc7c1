#pragma once

#include <gtk/gtk.h>

#include <array>
#include <memory>
#include <utility>

#include "platform/gtk/UserActivity.hpp"
#include "platform/webkit/NoticeWidget.hpp"
#include "platform/webkit/WebKitEngine.hpp"
#include "ports/ContentHost.hpp"
#include "ports/KeyEvent.hpp"
#include "ports/Window.hpp"
#include "ports/WindowSystem.hpp"

namespace pelunna::platform {

// The main GtkApplicationWindow behind the Window interface. Resizable and full screen are read
// from and written to GTK; the other style bits are kept as given. It hosts the root view's
// screens, and is the application's key monitor, in the window's capture phase.
class GtkMainWindow final : public Window,
                            public KeyMonitor,
                            public ContentHost,
                            public std::enable_shared_from_this<GtkMainWindow> {
public:
    GtkMainWindow(GtkApplication* application, const WindowSettings& settings,
                  WebKitSession& session, UserActivity& activity);
    ~GtkMainWindow() override;
    GtkMainWindow(const GtkMainWindow&) = delete;
    GtkMainWindow& operator=(const GtkMainWindow&) = delete;

    [[nodiscard]] std::uint64_t styleMask() const override;
    void setStyleMask(std::uint64_t mask) override;
    void toggleFullScreen() override;
    void setContentView(RootView& root) override;
    void setDelegate(WindowDelegate* delegate) override;
    void makeKeyAndOrderFront() override;
    void showNotice(const std::optional<Notice>& notice) override;

    void addLocalMonitorForKeyDown(std::function<KeyDisposition(const KeyEvent&)> handler) override;

    void showPermissionScreen(PermissionScreen& screen) override;
    void showWebContent() override;

private:
    static void onFullscreenChanged(GObject* object, GParamSpec* property, gpointer self);
    static gboolean onCloseRequest(GtkWindow* window, gpointer self);
    static gboolean onKeyPressed(GtkEventControllerKey* controller, guint keyval, guint keycode,
                                 GdkModifierType state, gpointer self);
    static void onPointerMotion(GtkEventControllerMotion* controller, double x, double y,
                                gpointer self);

    void setContent(GtkWidget* content);

    GtkWindow* window_;
    std::uint64_t keptStyleBits_;
    bool transparentTitlebar_;
    // The menu bar above the current screen, and the one over the page in full screen.
    GtkWidget* layout_;
    GtkWidget* menubar_ = nullptr;
    GtkWidget* menubarOverPage_ = nullptr;
    // Over everything the window shows, popups and the permission screen included.
    std::unique_ptr<NoticeWidget> notice_;
    GtkWidget* content_ = nullptr;
    // The web content, made before it is shown so that the engine can lay its views into it.
    GtkWidget* webContent_;
    std::unique_ptr<WebKitEngine> engine_;
    RootView* root_ = nullptr;
    WindowDelegate* delegate_ = nullptr;
    bool fullScreen_ = false;
    std::function<KeyDisposition(const KeyEvent&)> keyHandler_;
    // WebKit hands a key the page did not use back to the window, possibly after later presses:
    // remembering the recent presses lets the monitor act once per press.
    std::array<std::pair<guint32, guint>, 16> recentKeys_{};
    std::size_t nextRecentKey_ = 0;
};

}  // namespace pelunna::platform
