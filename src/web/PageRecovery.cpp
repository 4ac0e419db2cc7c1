#include "web/PageRecovery.hpp"

#include <utility>

namespace pelunna::web {

PageRecovery::PageRecovery(const MainQueue& clock, std::string startUrl)
    : clock_(clock), startUrl_(std::move(startUrl)) {}

const std::string& PageRecovery::pageToReload() const {
    return lastCommittedUrl_ ? *lastCommittedUrl_ : startUrl_;
}

void PageRecovery::reloadRequested() {
    automaticReloads_.clear();
    lastRequestedReload_ = clock_.now();
}

bool PageRecovery::mayReloadAfterTermination() {
    const double now = clock_.now();
    while (!automaticReloads_.empty() && now - automaticReloads_.front() >= budgetWindowSeconds) {
        automaticReloads_.pop_front();
    }
    if (automaticReloads_.size() >= static_cast<std::size_t>(reloadBudget)) {
        return false;
    }
    automaticReloads_.push_back(now);
    return true;
}

bool PageRecovery::shouldEndUnresponsivePage(bool pageDialogOpen) const {
    return !pageDialogOpen && lastRequestedReload_ &&
           clock_.now() - *lastRequestedReload_ <= hangWindowSeconds;
}

}  // namespace pelunna::web
