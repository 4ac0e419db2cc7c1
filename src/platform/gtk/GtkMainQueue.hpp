#pragma once

#include "ports/MainQueue.hpp"

namespace pelunna::platform {

// The main queue on the default GLib main context.
class GtkMainQueue final : public MainQueue {
public:
    void async(std::function<void()> block) override;
    void asyncAfter(double seconds, std::function<void()> block) override;
    [[nodiscard]] double now() const override;
};

}  // namespace pelunna::platform
