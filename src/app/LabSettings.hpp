#pragma once

#include <optional>
#include <string_view>

#include "ports/LabSettingsReading.hpp"
#include "ports/Log.hpp"

namespace pelunna::app {

// What the administrator set for a lab computer.
struct LabSettings {
    static constexpr int maximumIdleResetMinutes = 240;
    // What a file the administrator wrote but nobody can read still gives: a lab is never left
    // without its reset.
    static constexpr int unreadableIdleResetMinutes = 15;

    // Idle minutes after which the seat starts over for the next learner; none on a learner's own
    // computer.
    std::optional<int> idleResetMinutes;
};

// Judges the file at `path` as read, and prints what a lab's start shows: the reset when one is
// set, and once that the file could not be used.
LabSettings decideLabSettings(const LabSettingsReading& reading, std::string_view path, Log& log);

}  // namespace pelunna::app
