#pragma once

namespace pelunna {

// What the administrator's lab settings file holds, as far as it could be read; judged by the
// client's decisions.
struct LabSettingsReading {
    enum class Found {
        noFile,
        // There, but not a regular key file that could be read whole.
        unreadable,
        // A key file without [Lab] IdleResetMinutes.
        noIdleReset,
        idleResetNotANumber,
        idleResetMinutes,
    };
    Found found = Found::noFile;
    int idleResetMinutes = 0;
};

}  // namespace pelunna
