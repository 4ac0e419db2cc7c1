#pragma once

#include <optional>

#include "ports/IdleResetHost.hpp"
#include "ports/Log.hpp"
#include "ports/MainQueue.hpp"

namespace pelunna::app {

// Hands a shared seat on to the next learner. Once a learner's lab has gone the administrator's
// limit without input, and without any view playing sound or recording, a notice counts down a
// minute; input keeps the lab, the end of the countdown starts over.
class IdleReset {
public:
    static constexpr int countdownSeconds = 60;

    // Without a limit the seat is never started over. A test build may make the countdown's
    // seconds shorter.
    IdleReset(MainQueue& queue, Log& log, IdleResetHost& host, std::optional<double> limitSeconds,
              double countdownTickSeconds = 1.0);

    // A learner's lab is shown (the web view is built): its clock starts.
    void labShown();
    // Any key, pointer motion, button, scroll or touch on any window of the client. True when it
    // only kept the lab from starting over, and must reach nothing else.
    [[nodiscard]] bool userInput();
    // Whether any view plays sound or records from the microphone: a learner listening or
    // speaking is never idle.
    void mediaActivityChanged(bool active);
    void quitting();

private:
    enum class Phase { stopped, watching, countingDown };

    // Keeps one check pending for when the limit would run out.
    void watch();
    void check();
    void count(int secondsLeft);
    void stopCountdown();

    MainQueue& queue_;
    Log& log_;
    IdleResetHost& host_;
    // 0 when the seat is never started over.
    double limitSeconds_;
    double tickSeconds_;
    Phase phase_ = Phase::stopped;
    bool mediaActive_ = false;
    bool checkPending_ = false;
    double lastInput_ = 0;
    // A countdown's ticks belong to it alone: one that was stopped must not tick on.
    unsigned countdown_ = 0;
};

}  // namespace pelunna::app
