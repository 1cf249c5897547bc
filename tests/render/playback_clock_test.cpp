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

TEST_F(ClockTest, SteadyWithoutSoundOrWhenItFailsStillWhenStoppedFollowingSoundOnceHeard) {
    clock.start(2.0, false, at(0));
    EXPECT_DOUBLE_EQ(clock.now(at(250), std::nullopt, true), 2.25);
    clock.stop(2.3);
    EXPECT_FALSE(clock.running());
    EXPECT_DOUBLE_EQ(clock.now(at(900), 5.0, false), 2.3);

    // With sound: held until it is heard, then following it smoothly.
    clock.start(1.0, true, at(0));
    EXPECT_DOUBLE_EQ(clock.now(at(300), std::nullopt, false), 1.0);
    EXPECT_DOUBLE_EQ(clock.now(at(310), 1.01, false), 1.01);  // the first report is taken as is
    // 100 ms later a report 30 ms ahead: a fifth of it (100 ms of kSlewSeconds).
    EXPECT_NEAR(clock.now(at(410), 1.14, false), 1.116, 1e-9);
    // 190 ms ahead after another 100 ms: a fifth of that, 38 ms.
    EXPECT_NEAR(clock.now(at(510), 1.406, false), 1.254, 1e-9);
    // 100 ms behind: the clock slows by at most kMaxSlewRate, 5 ms.
    EXPECT_NEAR(clock.now(at(610), 1.254, false), 1.349, 1e-9);
    // More than kJumpSeconds ahead: taken at once.
    EXPECT_DOUBLE_EQ(clock.now(at(620), 1.6, false), 1.6);
    // More than kJumpSeconds behind (the sound stalled): waits, never
    // backwards, and goes on with the sound once it has caught up.
    EXPECT_DOUBLE_EQ(clock.now(at(700), 1.3, false), 1.6);
    EXPECT_DOUBLE_EQ(clock.now(at(800), 1.59, false), 1.6);
    EXPECT_DOUBLE_EQ(clock.now(at(810), 1.61, false), 1.61);
    EXPECT_TRUE(clock.followsAudio());

    // Steady again when sound never comes or breaks down.
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
