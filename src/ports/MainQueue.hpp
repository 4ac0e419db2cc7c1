#pragma once

#include <functional>

namespace pelunna {

// The main thread's work queue: every delay in the client is a block scheduled here, never a sleep.
class MainQueue {
public:
    virtual ~MainQueue() = default;
    virtual void async(std::function<void()> block) = 0;
    virtual void asyncAfter(double seconds, std::function<void()> block) = 0;
    // Seconds on a monotonic clock: only differences mean something.
    [[nodiscard]] virtual double now() const = 0;
};

}  // namespace pelunna
