// The player's sound against a real PulseAudio daemon (a null sink, whose
// monitor records what a listener would hear): every audio track is heard,
// the heard position is the clock, and volume and mute reach the sink. Qt
// connects to the sound server once per process, so one daemon serves every
// test here.

#include <algorithm>
#include <cmath>
#include <fstream>

#include <gtest/gtest.h>

#include "child_process.h"
#include "document_fixtures.h"
#include "player_rig.h"
#include "pulse_daemon.h"
#include "render/playback_pipeline.h"
#include "render/qt_audio_output.h"

namespace zarvex {
namespace {

using testing::PlayerRig;
using testing::PlayerRigOptions;
using testing::processEventsUntil;

// Records the null sink's monitor into a file while alive.
class MonitorRecording {
  public:
    explicit MonitorRecording(const testing::PulseDaemon& daemon)
        : process_({"parec", "-d", std::string(testing::PulseDaemon::kSinkName) + ".monitor",
                    "--format=float32le", "--rate=48000", "--channels=2", "--raw",
                    (dir_ / "monitor.raw").string()},
                   {.environment = {{"PULSE_SERVER", daemon.server()}}, .quiet = true}) {}

    // Stops recording; the interleaved stereo samples heard.
    std::vector<float> samples() {
        process_.stop();
        std::ifstream in(dir_ / "monitor.raw", std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        std::vector<float> samples(bytes.size() / sizeof(float));
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        return samples;
    }

  private:
    testing::TempDir dir_;
    testing::ChildProcess process_;
};

float peak(const std::vector<float>& samples) {
    float largest = 0;
    for (const float sample : samples) {
        largest = std::max(largest, std::abs(sample));
    }
    return largest;
}

class PlaybackSound : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        daemon_ = new testing::PulseDaemon();
        server_ = new testing::ScopedEnv("PULSE_SERVER", daemon_->server());
    }
    static void TearDownTestSuite() {
        delete server_;
        delete daemon_;
    }

    static PlayerRigOptions withSound() {
        PlayerRigOptions options;
        options.audioOutput = [] { return makeQtAudioOutput(); };
        return options;
    }

    // Plays from `from` until playback stops at the end time, recording the
    // monitor meanwhile; what was heard.
    std::vector<float> playToEnd(PlayerRig& rig, MediaTime from) {
        EXPECT_TRUE(rig.seekAndWait(from));
        MonitorRecording recording(*daemon_);
        rig.player().setRate(1);
        EXPECT_TRUE(
            processEventsUntil([&] { return rig.player().rate() == 0; }, std::chrono::seconds(20)));
        testing::processEventsFor(std::chrono::milliseconds(300));  // the sink's own delay
        return recording.samples();
    }

    static inline testing::PulseDaemon* daemon_ = nullptr;
    static inline testing::ScopedEnv* server_ = nullptr;
};

TEST_F(PlaybackSound, EveryTrackIsHeardTheSoundKeepsTheTimeVolumeAndMuteReachTheSink) {
    PlayerRig rig(withSound());
    const auto start = std::chrono::steady_clock::now();
    const std::vector<float> heard = playToEnd(rig, MediaTime::zero());
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // The microphone's 440 Hz and the system audio's 1000 Hz, mixed.
    const double noise = testing::tonePower(heard, 700);
    EXPECT_GT(testing::tonePower(heard, testing::kMicrophoneTone), 100 * noise);
    EXPECT_GT(testing::tonePower(heard, testing::kSystemAudioTone), 100 * noise);
    EXPECT_EQ(rig.player().currentTime(), MediaTime::fromSeconds(2));
    EXPECT_GE(took, 2.0);  // 2 s of sound take 2 s to hear

    // Frames were handed over by the heard position, at their time.
    const PlaybackStatistics stats = rig.player().statistics();
    ASSERT_GT(stats.offsetSeconds.size(), 60u);
    // The null sink starts slowly (the clock waits for it), then plays on
    // steadily; a clock that ignored it would be off by a second.
    const std::vector<float>& offsets = stats.offsetSeconds;
    for (std::size_t i = offsets.size() * 3 / 4; i < offsets.size(); ++i) {
        EXPECT_LT(std::abs(offsets[i]), 0.04) << "frame " << i;
    }
    EXPECT_GT(stats.presented, 100);

    // Volume and mute reach the sink.
    rig.player().setForwardPlaybackEndTime(MediaTime::fromSeconds(1.0));
    const float full = peak(playToEnd(rig, MediaTime::zero()));
    EXPECT_GT(full, 0.3f);  // two tones of 0.25

    rig.player().setMuted(true);
    EXPECT_LT(peak(playToEnd(rig, MediaTime::fromSeconds(0.5))), 0.001f);

    rig.player().setMuted(false);
    rig.player().setVolume(0.5f);
    EXPECT_NEAR(peak(playToEnd(rig, MediaTime::zero())) / full, 0.5, 0.05);

    // Pause holds the time and play goes on from there.
    rig.player().setForwardPlaybackEndTime(MediaTime::invalid());
    ASSERT_TRUE(rig.seekAndWait(MediaTime::zero()));
    rig.player().setRate(1);
    ASSERT_TRUE(processEventsUntil([&] { return rig.player().currentTime().seconds() > 0.5; }));
    rig.player().setRate(0);
    const double paused = rig.player().currentTime().seconds();
    testing::processEventsFor(std::chrono::milliseconds(300));
    EXPECT_EQ(rig.player().currentTime().seconds(), paused);

    // The paused stream goes on: no new start, no wait for a new stream.
    rig.player().setRate(1);
    testing::processEventsFor(std::chrono::milliseconds(500));
    EXPECT_NEAR(rig.player().currentTime().seconds(), paused + 0.5, 0.15);
    rig.player().setRate(0);
}

}  // namespace
}  // namespace zarvex
