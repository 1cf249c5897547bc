// With no sound server to talk to, the player keeps time with a steady clock
// and plays silently. Its own program: Qt connects to the server once per
// process.

#include <gtest/gtest.h>

#include "document_fixtures.h"
#include "player_rig.h"
#include "render/qt_audio_output.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

TEST(PlaybackWithoutSoundServer, PlaysSilentlyOnASteadyClock) {
    testing::TempDir nowhere;
    testing::ScopedEnv server("PULSE_SERVER", "unix:" + (nowhere / "native").string());
    testing::PlayerRigOptions options;
    options.audioOutput = [] { return makeQtAudioOutput(); };
    testing::PlayerRig rig(options);
    EXPECT_FALSE(makeQtAudioOutput()->start([](float*, int) { return 0; }));

    ASSERT_TRUE(rig.seekAndWait(MediaTime::zero()));
    const auto start = std::chrono::steady_clock::now();
    rig.player().setRate(1);
    testing::runEventLoopFor(std::chrono::milliseconds(500));
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NEAR(rig.player().currentTime().seconds(), elapsed, 0.1);
    EXPECT_GT(rig.sink().count(), 10u);
    EXPECT_FALSE(rig.player().error());
}

}  // namespace
}  // namespace zarvex
