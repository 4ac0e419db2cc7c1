#include "app/IdleReset.hpp"

#include <string>

namespace pelunna::app {
namespace {

// A timer may fire this much before its time and still count as on time.
constexpr double timerSlackSeconds = 1e-3;

}  // namespace

IdleReset::IdleReset(MainQueue& queue, Log& log, IdleResetHost& host,
                     std::optional<double> limitSeconds, double countdownTickSeconds)
    : queue_(queue),
      log_(log),
      host_(host),
      limitSeconds_(limitSeconds.value_or(0)),
      tickSeconds_(countdownTickSeconds) {}

void IdleReset::labShown() {
    if (limitSeconds_ <= 0) {
        return;
    }
    phase_ = Phase::watching;
    lastInput_ = queue_.now();
    watch();
}

bool IdleReset::userInput() {
    lastInput_ = queue_.now();
    if (phase_ != Phase::countingDown) {
        return false;
    }
    stopCountdown();
    watch();
    return true;
}

void IdleReset::mediaActivityChanged(bool active) {
    mediaActive_ = active;
    if (active && phase_ == Phase::countingDown) {
        stopCountdown();
    }
    if (!active) {
        // The learner was there until the sound or the recording ended.
        lastInput_ = queue_.now();
        watch();
    }
}

void IdleReset::quitting() {
    ++countdown_;
    phase_ = Phase::stopped;
}

void IdleReset::watch() {
    if (phase_ != Phase::watching || mediaActive_ || checkPending_) {
        return;
    }
    // Input only moves the last input's time; the one pending check finds out how far it moved.
    checkPending_ = true;
    queue_.asyncAfter(lastInput_ + limitSeconds_ - queue_.now(), [this] {
        checkPending_ = false;
        check();
    });
}

void IdleReset::check() {
    if (phase_ != Phase::watching || mediaActive_) {
        return;
    }
    if (queue_.now() - lastInput_ < limitSeconds_ - timerSlackSeconds) {
        watch();
        return;
    }
    phase_ = Phase::countingDown;
    count(countdownSeconds);
}

void IdleReset::count(int secondsLeft) {
    host_.showCountdown(
        "Still there? The lab starts over in " + std::to_string(secondsLeft) + " seconds.",
        "Press any key or move the pointer to stay.");
    if (secondsLeft == 0) {
        phase_ = Phase::stopped;
        log_.print("⏱️ Starting over for the next learner");
        host_.hideCountdown();
        host_.startOver();
        return;
    }
    queue_.asyncAfter(tickSeconds_, [this, secondsLeft, countdown = countdown_] {
        if (countdown == countdown_) {
            count(secondsLeft - 1);
        }
    });
}

void IdleReset::stopCountdown() {
    ++countdown_;
    phase_ = Phase::watching;
    host_.hideCountdown();
}

}  // namespace pelunna::app
