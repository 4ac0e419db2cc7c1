#include "app/LabSettings.hpp"

#include <string>

namespace pelunna::app {

LabSettings decideLabSettings(const LabSettingsReading& reading, std::string_view path, Log& log) {
    using Found = LabSettingsReading::Found;
    LabSettings settings;
    const bool usable = reading.found != Found::unreadable &&
                        reading.found != Found::idleResetNotANumber &&
                        (reading.found != Found::idleResetMinutes ||
                         (reading.idleResetMinutes >= 0 &&
                          reading.idleResetMinutes <= LabSettings::maximumIdleResetMinutes));
    if (!usable) {
        settings.idleResetMinutes = LabSettings::unreadableIdleResetMinutes;
        log.print("❌ Lab settings unreadable, starting over after " +
                  std::to_string(*settings.idleResetMinutes) +
                  " idle minutes: " + std::string(path));
    } else if (reading.found == Found::idleResetMinutes && reading.idleResetMinutes > 0) {
        settings.idleResetMinutes = reading.idleResetMinutes;
    }
    if (settings.idleResetMinutes) {
        log.print("⏱️ Idle reset after " + std::to_string(*settings.idleResetMinutes) +
                  " minutes");
    }
    return settings;
}

}  // namespace pelunna::app
