#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

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
    [[nodiscard]] bool anyOpen() const { return openDialogs_ > 0; }
    // Starting over: every alert closes, so each open page dialog is answered as dismissed (an
    // alert done, a confirm false, a prompt null).
    void dismissDialogs() { alerts_.closeAll(); }

private:
    // Counts the page's dialog until its completion runs; once this room is gone, the alert's
    // answer reaches nothing.
    template <typename... Args>
    std::function<void(Args...)> track(std::function<void(Args...)> completion);

    Alerts& alerts_;
    int openDialogs_ = 0;
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace pelunna::web
