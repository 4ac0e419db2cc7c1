#include "web/LabRetry.hpp"

#include <algorithm>
#include <utility>

namespace pelunna::web {

LabRetry::LabRetry(MainQueue& queue, std::function<void()> tryAgain)
    : queue_(queue), tryAgain_(std::move(tryAgain)) {}

void LabRetry::loadFailed() {
    if (scheduled_) {
        return;
    }
    const double delay = delays.at(std::min(failures_, delays.size() - 1));
    ++failures_;
    scheduled_ = std::make_shared<char>();
    queue_.asyncAfter(delay, [this, token = std::weak_ptr<char>(scheduled_)] {
        if (!token.expired()) {
            networkCameUp();
        }
    });
}

void LabRetry::networkCameUp() {
    if (!scheduled_) {
        return;
    }
    scheduled_.reset();
    tryAgain_();
}

void LabRetry::reset() {
    scheduled_.reset();
    failures_ = 0;
}

}  // namespace pelunna::web
