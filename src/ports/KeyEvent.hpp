#pragma once

#include <functional>
#include <optional>
#include <string>

namespace pelunna {

// A key press as the shortcut rules see it. The command modifier is Control on this desktop;
// characters carry Shift but no other modifier (Ctrl+Shift+R gives "R").
struct KeyEvent {
    bool escape = false;
    bool command = false;
    std::optional<std::string> charactersIgnoringModifiers;
};

enum class KeyDisposition { passOn, consume };

// Application-wide key-down monitor, consulted before the focused widget sees the key.
class KeyMonitor {
public:
    virtual ~KeyMonitor() = default;
    virtual void addLocalMonitorForKeyDown(
        std::function<KeyDisposition(const KeyEvent&)> handler) = 0;
};

}  // namespace pelunna
