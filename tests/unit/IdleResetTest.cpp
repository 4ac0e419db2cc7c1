#include "Fakes.hpp"
#include "app/IdleReset.hpp"

namespace pelunna::test {
namespace {

using testing::Contains;

// The notice and the start over, in the order the host was asked.
struct Seat final : IdleResetHost {
    explicit Seat(std::optional<double> limitSeconds) : reset(queue, log, *this, limitSeconds) {}
    void showCountdown(std::string_view headline, std::string_view hint) override {
        EXPECT_EQ(hint, "Press any key or move the pointer to stay.");
        calls.emplace_back(headline);
    }
    void hideCountdown() override { calls.emplace_back("hide"); }
    void startOver() override { calls.emplace_back("start over"); }
    // What the host was asked while the clock went on by `seconds`.
    Journal after(double seconds) {
        queue.advance(seconds);
        return std::exchange(calls, {});
    }

    FakeQueue queue;
    RecordingLog log;
    Journal calls;
    app::IdleReset reset;
};

std::string countdown(int seconds) {
    return "Still there? The lab starts over in " + std::to_string(seconds) + " seconds.";
}

TEST(IdleReset, TheLimitWithoutInputCountsDownAMinuteWhichInputStopsAndWhoseEndStartsOver) {
    Seat seat(120);
    seat.reset.labShown();
    seat.queue.advance(60);
    EXPECT_FALSE(seat.reset.userInput());
    EXPECT_THAT(seat.after(119.9), IsEmpty());
    EXPECT_THAT(seat.after(0.1), ElementsAre(countdown(60)));
    EXPECT_THAT(seat.after(10), Contains(countdown(50)));
    // The input that keeps the lab goes nowhere else; the next reaches the page again.
    EXPECT_TRUE(seat.reset.userInput());
    EXPECT_FALSE(seat.reset.userInput());
    EXPECT_THAT(seat.after(119.9), ElementsAre("hide"));
    const Journal calls = seat.after(0.1 + 60);
    ASSERT_EQ(calls.size(), 63u);
    EXPECT_EQ(calls[1], countdown(59));
    EXPECT_THAT(Journal(calls.end() - 3, calls.end()),
                ElementsAre(countdown(0), "hide", "start over"));
    EXPECT_THAT(seat.log.lines, ElementsAre("⏱️ Starting over for the next learner"));
    // The permission screen of the next learner has no clock until their lab is shown.
    EXPECT_THAT(seat.after(1000), IsEmpty());
    EXPECT_FALSE(seat.reset.userInput());
    seat.reset.labShown();
    EXPECT_THAT(seat.after(120), ElementsAre(countdown(60)));
    // Quitting, during the countdown or before it, starts nothing over.
    seat.reset.quitting();
    seat.queue.advance(1000);
    seat.reset.labShown();
    seat.queue.advance(60);
    seat.reset.quitting();
    EXPECT_THAT(seat.after(1000), IsEmpty());
}

TEST(IdleReset, SoundOrRecordingHoldsTheClockWhichRunsAgainFromTheirEnd) {
    Seat seat(120);
    seat.reset.labShown();
    // A page's short sounds come by the hundred: each moves the clock, none adds a timer.
    for (int sound = 0; sound < 100; ++sound) {
        seat.reset.mediaActivityChanged(true);
        seat.reset.mediaActivityChanged(false);
    }
    EXPECT_EQ(seat.queue.pendingBlocks(), 1u);
    seat.queue.advance(10);
    seat.reset.mediaActivityChanged(true);
    seat.queue.advance(1000);
    seat.reset.mediaActivityChanged(false);
    EXPECT_THAT(seat.after(119.9), IsEmpty());
    EXPECT_THAT(seat.after(0.1), ElementsAre(countdown(60)));
    // A recording that starts during the countdown stops it.
    seat.reset.mediaActivityChanged(true);
    EXPECT_THAT(seat.after(1000), ElementsAre("hide"));
    seat.reset.mediaActivityChanged(false);
    EXPECT_THAT(seat.after(120 + 60), Contains("start over"));

    Seat home(std::nullopt);
    home.reset.labShown();
    EXPECT_FALSE(home.reset.userInput());
    EXPECT_THAT(home.after(1e6), IsEmpty());
    EXPECT_THAT(home.log.lines, IsEmpty());
}

}  // namespace
}  // namespace pelunna::test
