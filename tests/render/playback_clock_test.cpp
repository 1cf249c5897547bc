// The playback clock: steady without sound, held until sound is heard, then
// following it smoothly, and falling back to steady when sound never comes
// or breaks down.

#include <gtest/gtest.h>

#include "render/playback_clock.h"

namespace zarvex {
namespace {

using Clock = PlaybackClock::Clock;
using std::chrono::milliseconds;

struct ClockTest : ::testing::Test {
    PlaybackClock clock;
    Clock::time_point t0 = Clock::now();
    Clock::time_point at(int ms) const { return t0 + milliseconds(ms); }
};

TEST_F(ClockTest, SteadyWithoutSoundAndStillWhenStopped) {
    clock.start(2.0, false, at(0));
    EXPECT_DOUBLE_EQ(clock.now(at(250), std::nullopt, true), 2.25);
    clock.stop(2.3);
    EXPECT_FALSE(clock.running());
    EXPECT_DOUBLE_EQ(clock.now(at(900), 5.0, false), 2.3);
}

TEST_F(ClockTest, HoldsUntilSoundIsHeardThenFollowsIt) {
    clock.start(1.0, true, at(0));
    EXPECT_DOUBLE_EQ(clock.now(at(300), std::nullopt, false), 1.0);
    EXPECT_DOUBLE_EQ(clock.now(at(310), 1.01, false), 1.01);  // the first report is taken as is
    // A report 10 ms ahead of the running clock is closed over kSlewSeconds:
    // after 20 ms, a tenth of it.
    EXPECT_NEAR(clock.now(at(330), 1.04, false), 1.031, 1e-9);
    // More than kJumpSeconds off: taken at once.
    EXPECT_DOUBLE_EQ(clock.now(at(340), 1.2, false), 1.2);
    // Never backwards, even when a report says so.
    EXPECT_DOUBLE_EQ(clock.now(at(341), 1.0, false), 1.2);
    EXPECT_TRUE(clock.followsAudio());
}

TEST_F(ClockTest, RunsSteadyWhenSoundNeverComesOrBreaksDown) {
    clock.start(0.5, true, at(0));
    const int timeout = int(PlaybackClock::kAudioStartTimeout.count());
    EXPECT_DOUBLE_EQ(clock.now(at(timeout - 1), std::nullopt, false), 0.5);
    EXPECT_DOUBLE_EQ(clock.now(at(timeout), std::nullopt, false), 0.5);
    EXPECT_FALSE(clock.followsAudio());
    EXPECT_DOUBLE_EQ(clock.now(at(timeout + 100), std::nullopt, false), 0.6);

    clock.start(3.0, true, at(0));
    EXPECT_DOUBLE_EQ(clock.now(at(100), 3.1, false), 3.1);
    EXPECT_DOUBLE_EQ(clock.now(at(150), std::nullopt, true), 3.1);  // broke down here
    EXPECT_DOUBLE_EQ(clock.now(at(250), std::nullopt, true), 3.2);
}

}  // namespace
}  // namespace zarvex
