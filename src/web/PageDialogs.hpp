#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ports/Alerts.hpp"

namespace pelunna::web {

// A page's alert, confirm and prompt as the client's own alerts, their text cut so that laying
// it out cannot hold the window, and counted while they wait for the learner.
class PageDialogs {
public:
    // Laying out a page's megabyte of dialog text would hold the window for many seconds.
    static constexpr std::size_t maxDialogTextBytes = 1024;

    explicit PageDialogs(Alerts& alerts) : alerts_(alerts) {}

    void alert(const std::string& message, std::function<void()> completion);
    void confirm(const std::string& message, std::function<void(bool)> completion);
    void prompt(const std::string& prompt, const std::optional<std::string>& defaultText,
                std::function<void(std::optional<std::string>)> completion);
    [[nodiscard]] bool anyOpen() const { return !open_.empty(); }
    // Starting over: the page dialogs' alerts close, which answers each as dismissed (an alert
    // done, a confirm false, a prompt null). The client's own alerts stay.
    void dismissDialogs();

private:
    // Shows the page's dialog and keeps it among the open ones until it is answered; once this
    // room is gone, the answer reaches nothing.
    void show(const AlertSpec& alert, std::function<void(const AlertResponse&)> answer);

    Alerts& alerts_;
    std::vector<AlertId> open_;
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace pelunna::web
