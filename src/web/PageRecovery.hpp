#pragma once

#include <deque>
#include <optional>
#include <string>

#include "ports/MainQueue.hpp"

namespace pelunna::web {

// Brings the lab back by itself when its page process dies or hangs, within a budget, so that a
// page that keeps crashing does not keep the machine busy reloading it.
class PageRecovery {
public:
    static constexpr int reloadBudget = 3;
    static constexpr double budgetWindowSeconds = 60.0;
    // How long after a reload the learner asked for an unresponsive page counts as hung.
    static constexpr double hangWindowSeconds = 5.0;

    PageRecovery(const MainQueue& clock, std::string startUrl);

    void didCommit(const std::string& url) {
        lastCommittedUrl_ = url;
        processEnded_ = false;
    }
    // The view shows nothing from now until its next commit.
    void pageProcessEnded() { processEnded_ = true; }
    [[nodiscard]] bool hasCommitted() const { return lastCommittedUrl_.has_value(); }
    // Whether the learner sees a page, rather than nothing.
    [[nodiscard]] bool showsPage() const { return hasCommitted() && !processEnded_; }
    // The page to load afresh: the last one shown (as a plain request, never a resubmitted form),
    // or the start page when none was.
    [[nodiscard]] const std::string& pageToReload() const;

    // The client quits: the page processes it ends are not brought back.
    void quit() { quitting_ = true; }
    [[nodiscard]] bool quitting() const { return quitting_; }

    // The learner asked for a reload: the budget starts over and a hang may be ended.
    void reloadRequested();
    // Whether to reload automatically after the page process died: false once the budget is spent.
    [[nodiscard]] bool mayReloadAfterTermination();
    // Whether an unresponsive page is to be ended: only right after the learner asked for a
    // reload, and never while the page waits for an answer to one of its dialogs.
    [[nodiscard]] bool shouldEndUnresponsivePage(bool pageDialogOpen) const;

private:
    const MainQueue& clock_;
    std::string startUrl_;
    std::optional<std::string> lastCommittedUrl_;
    bool processEnded_ = false;
    bool quitting_ = false;
    std::deque<double> automaticReloads_;
    std::optional<double> lastRequestedReload_;
};

}  // namespace pelunna::web
