#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>

#include "ports/MainQueue.hpp"

namespace pelunna::web {

// Tries an unreachable lab again by itself, ever less often, so that a lab computer that came
// up before its network, or a server that was down for a minute, shows the lab with nobody at
// the keyboard.
class LabRetry {
public:
    // Seconds before each try; the last one repeats.
    static constexpr std::array<double, 5> delays{5, 10, 20, 40, 60};

    LabRetry(MainQueue& queue, std::function<void()> tryAgain);

    // The lab could not be reached: the next try is scheduled.
    void loadFailed();
    // A scheduled try happens now.
    void networkCameUp();
    // Nothing is scheduled any more, and the next failure waits the first delay again: the lab
    // is shown, the learner tried for themselves, or it is not to be tried again.
    void reset();

private:
    MainQueue& queue_;
    std::function<void()> tryAgain_;
    std::size_t failures_ = 0;
    // What the scheduled try waits on: dropping it cancels the try, also when the lab goes.
    std::shared_ptr<char> scheduled_;
};

}  // namespace pelunna::web
