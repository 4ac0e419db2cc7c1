#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "platform/KeyEvent.hpp"
#include "platform/WebsiteDataStore.hpp"
#include "platform/Window.hpp"
#include "platform/WindowSystem.hpp"
#include "platform/gtk/GtkAlerts.hpp"
#include "platform/webkit/WebKitEngine.hpp"

namespace pelunna::platform {

// The main GtkApplicationWindow behind the Window interface. Resizable and full screen are read
// from and written to GTK; the other style bits are kept as given. Also the application's key
// monitor, in the window's capture phase.
class GtkMainWindow final : public Window,
                            public KeyMonitor,
                            public std::enable_shared_from_this<GtkMainWindow> {
public:
    GtkMainWindow(GtkApplication* application, const WindowSettings& settings,
                  WebsiteDataStore& dataStore);
    ~GtkMainWindow() override;
    GtkMainWindow(const GtkMainWindow&) = delete;
    GtkMainWindow& operator=(const GtkMainWindow&) = delete;

    [[nodiscard]] std::uint64_t styleMask() const override;
    void setStyleMask(std::uint64_t mask) override;
    void toggleFullScreen() override;
    [[nodiscard]] Size frameSize() const override;
    void setContentView(screens::ContentView& root) override;
    void setDelegate(WindowDelegate* delegate) override;
    void makeKeyAndOrderFront() override;

    void addLocalMonitorForKeyDown(std::function<KeyDisposition(const KeyEvent&)> handler) override;

private:
    static void onFullscreenChanged(GObject* object, GParamSpec* spec, gpointer self);
    static gboolean onCloseRequest(GtkWindow* window, gpointer self);
    static gboolean onKeyPressed(GtkEventControllerKey* controller, guint keyval, guint keycode,
                                 GdkModifierType state, gpointer self);

    GtkWindow* window_;
    WebsiteDataStore& dataStore_;
    std::uint64_t keptStyleBits_;
    GtkAlerts alerts_;
    std::unique_ptr<WebKitEngine> engine_;
    WindowDelegate* delegate_ = nullptr;
    bool fullScreen_ = false;
    std::function<KeyDisposition(const KeyEvent&)> keyHandler_;
    // WebKit hands a key the page did not use back to the window: act once per press.
    guint32 lastKeyTime_ = 0;
    guint lastKeyCode_ = 0;
};

}  // namespace pelunna::platform
