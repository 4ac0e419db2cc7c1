#pragma once

#include <string_view>

namespace pelunna {

// What the idle reset asks of the client's windows and views.
class IdleResetHost {
public:
    virtual ~IdleResetHost() = default;
    // Shows the notice over every window of the client, or changes the text of the one shown.
    virtual void showCountdown(std::string_view headline, std::string_view hint) = 0;
    virtual void hideCountdown() = 0;
    // Hands the seat to the next learner with nothing of the last one left: dialogs dismissed,
    // popups closed, page processes ended, all website data removed (at most 5 s), then the
    // permission screen as at launch, in the locked full screen.
    virtual void startOver() = 0;
};

}  // namespace pelunna
