#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pelunna {

// A modal alert: its message, its buttons in order and, for a prompt, a text field.
struct AlertSpec {
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons;
    std::optional<std::string> textFieldValue;
    // The button Return chooses.
    std::size_t defaultButton = 0;
};

struct AlertResponse {
    // The first button answers firstButton, the next firstButton + 1 and so on; closing the
    // alert any other way answers a value outside that range.
    static constexpr int firstButton = 1000;
    int code = 0;
    std::string textFieldValue;
};

// Names a shown alert, for as long as it is shown.
using AlertId = std::uint64_t;

// Shows modal alerts over the main window. The answer comes later, from the main loop, once.
class Alerts {
public:
    virtual ~Alerts() = default;
    virtual AlertId runModal(const AlertSpec& alert,
                             std::function<void(const AlertResponse&)> done) = 0;
    // Closes the alert if it is still shown, which answers it as closed: outside the buttons'
    // range.
    virtual void close(AlertId alert) = 0;
};

}  // namespace pelunna
