#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "ports/Notice.hpp"
#include "ports/RootView.hpp"

namespace pelunna {

// Style bits keep the classic desktop values so that the logged masks are stable.
namespace StyleMask {
inline constexpr std::uint64_t titled = 1;
inline constexpr std::uint64_t closable = 2;
inline constexpr std::uint64_t resizable = 8;
inline constexpr std::uint64_t fullScreen = 0x4000;
inline constexpr std::uint64_t fullSizeContentView = 1u << 15;
}  // namespace StyleMask

struct Size {
    double width = 0;
    double height = 0;
};

// A screen's or window's frame. The desktop places windows itself: only the size counts.
struct Rect {
    Size size;
};

class Window;

// Receives a window's full-screen and close callbacks.
class WindowDelegate {
public:
    virtual ~WindowDelegate() = default;
    // The window may be missing: the notification named no window.
    virtual void windowDidEnterFullScreen(const std::shared_ptr<Window>& window) = 0;
    virtual void windowWillExitFullScreen(const std::shared_ptr<Window>& window) = 0;
    virtual bool windowShouldClose(Window& window) = 0;
};

// A top-level window seen through its style bits; full screen is the fullScreen bit.
class Window {
public:
    virtual ~Window() = default;
    [[nodiscard]] virtual std::uint64_t styleMask() const = 0;
    virtual void setStyleMask(std::uint64_t mask) = 0;
    // Starts the transition into full screen, or out of it; the delegate hears the outcome.
    virtual void toggleFullScreen() = 0;
    virtual void setContentView(RootView& root) = 0;
    virtual void setDelegate(WindowDelegate* delegate) = 0;
    virtual void makeKeyAndOrderFront() = 0;
    // Laid over every screen of the window, near its top where no alert covers it; none hides it.
    virtual void showNotice(const std::optional<Notice>& notice) = 0;

    [[nodiscard]] bool isFullScreen() const { return (styleMask() & StyleMask::fullScreen) != 0; }
};

}  // namespace pelunna
