#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "capture/pulse/pulse_audio_capture.h"
#include "media/named_thread.h"
#include "media_fixtures.h"
#include "pulse_daemon.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::PulseDaemon;
using testing::runProcess;
using testing::ScopedEnv;
using testing::TempDir;

constexpr auto kWaitLimit = 15s;  // generous: the machine may be busy

struct Chunk {
    HostTime time;
    std::size_t frames;
    bool discontinuity;
};

// Everything a capture delivered: its chunks, its samples (interleaved stereo)
// and the names of the threads that delivered them.
struct Delivered {
    std::vector<Chunk> chunks;
    std::vector<float> samples;
    std::set<std::string> threads;

    // Host time of frame `index`.
    HostTime timeOfFrame(std::size_t index) const {
        for (const Chunk& chunk : chunks) {
            if (index < chunk.frames) {
                return chunk.time + audioFramesDuration(index);
            }
            index -= chunk.frames;
        }
        return HostTime::max();
    }
};

// Keeps what a capture delivers, for checks on the test thread.
class Recording {
  public:
    AudioCapture::ChunkHandler handler() {
        return [this](const CapturedAudioChunk& chunk) {
            std::lock_guard lock(mutex_);
            delivered_.chunks.push_back({chunk.time, chunk.frameCount(), chunk.discontinuity});
            delivered_.samples.insert(delivered_.samples.end(), chunk.samples.begin(),
                                      chunk.samples.end());
            delivered_.threads.insert(currentThreadName());
            changed_.notify_all();
        };
    }

    // Waits until at least `frames` frames have arrived.
    bool waitForFrames(std::size_t frames) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kWaitLimit, [&] {
            return delivered_.samples.size() >= frames * kCaptureChannelCount;
        });
    }
    Delivered delivered() const {
        std::lock_guard lock(mutex_);
        return delivered_;
    }
    std::size_t frameCount() const { return delivered().samples.size() / kCaptureChannelCount; }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Delivered delivered_;
};

// The frame where the samples first get loud.
std::size_t firstLoud(const std::vector<float>& samples, float threshold = 0.05f) {
    const auto it = std::find_if(samples.begin(), samples.end(),
                                 [&](float s) { return std::abs(s) > threshold; });
    return static_cast<std::size_t>(it - samples.begin()) / kCaptureChannelCount;
}

// True when `frequency` stands out of the samples, 20 Hz to either side far weaker.
bool isTone(const std::vector<float>& samples, double frequency) {
    const double power = testing::tonePower(samples, frequency);
    return power > 1e-4 && power > 100 * testing::tonePower(samples, frequency - 20) &&
           power > 100 * testing::tonePower(samples, frequency + 20);
}

// Chunk times lie within the capture's span, widened by `before` (a source may
// hand over audio from before start()) and `after` (laying chunks end to end
// may run ahead of the clock by the timeline's tolerance).
void expectOrderedAndNearTheClock(const std::vector<Chunk>& chunks, HostTime started,
                                  HostTime stopped, HostTime before = 500ms,
                                  HostTime after = AudioTimeline::kDefaultTolerance) {
    ASSERT_FALSE(chunks.empty());
    EXPECT_TRUE(chunks.front().discontinuity);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_GE(chunks[i].time, started - before) << i;
        EXPECT_LE(chunks[i].time, stopped + after) << i;
        if (i > 0) {
            EXPECT_GE(chunks[i].time,
                      chunks[i - 1].time + audioFramesDuration(chunks[i - 1].frames))
                << "chunk " << i << " overlaps the one before";
        }
    }
}

TEST(PulseAudioCapture, SystemAudioCapturesWhatIsPlayedIntoTheDefaultSink) {
    TempDir dir;
    const auto tone = (dir / "tone.wav").string();
    ASSERT_EQ(runProcess({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                          "sine=frequency=1000:sample_rate=48000:duration=1", "-ac", "2", tone})
                  .exitCode,
              0);
    PulseDaemon daemon;
    ScopedEnv server("PULSE_SERVER", daemon.server());

    auto capture = makePulseAudioCapture(AudioSource::systemAudio);
    Recording recording;
    const HostTime started = systemClock().now();
    capture->start(recording.handler());
    // The monitor delivers silence while nothing plays; the first frames show
    // the stream is up.
    ASSERT_TRUE(recording.waitForFrames(kCaptureSampleRate / 10));

    const HostTime playStart = systemClock().now();
    const auto played = daemon.runClient({"paplay", "-d", PulseDaemon::kSinkName, tone});
    const HostTime playEnd = systemClock().now();
    ASSERT_EQ(played.exitCode, 0) << played.err;
    recording.waitForFrames(recording.frameCount() + kCaptureSampleRate / 5);
    capture->stop();
    const HostTime stopped = systemClock().now();

    const Delivered delivered = recording.delivered();
    const auto& samples = delivered.samples;
    const std::size_t onset = firstLoud(samples);
    ASSERT_LT(onset * kCaptureChannelCount, samples.size()) << "the tone never arrived";
    // Measured over 0.8 s of the tone, clear of its start and end.
    const std::size_t begin = (onset + kCaptureSampleRate / 20) * kCaptureChannelCount;
    const std::size_t end = std::min(samples.size(), begin + kCaptureSampleRate * 8 / 5);
    EXPECT_TRUE(isTone({samples.begin() + begin, samples.begin() + end}, 1000));

    // The tone is stamped when it was played, not when it was read.
    const HostTime onsetTime = delivered.timeOfFrame(onset);
    EXPECT_GE(onsetTime, playStart - AudioTimeline::kDefaultTolerance - 20ms);
    EXPECT_LE(onsetTime, playEnd + AudioTimeline::kDefaultTolerance);
    expectOrderedAndNearTheClock(delivered.chunks, started, stopped);
    EXPECT_EQ(delivered.threads, std::set<std::string>{"system-audio"});
}

TEST(PulseAudioCapture, MicrophoneRecordsTheDefaultSource) {
    PulseDaemon daemon({"module-sine-source source_name=mic rate=48000 frequency=440"});
    ASSERT_EQ(daemon.runClient({"pactl", "set-default-source", "mic"}).exitCode, 0);
    ScopedEnv server("PULSE_SERVER", daemon.server());

    auto capture = makePulseAudioCapture(AudioSource::microphone);
    Recording recording;
    const HostTime started = systemClock().now();
    capture->start(recording.handler());
    ASSERT_TRUE(recording.waitForFrames(kCaptureSampleRate / 2));
    capture->stop();
    const HostTime stopped = systemClock().now();

    const Delivered delivered = recording.delivered();
    EXPECT_TRUE(isTone(delivered.samples, 440));
    // The sine source renders 2 s at a time, ahead of the clock, so its times
    // only show the units and the base are right.
    expectOrderedAndNearTheClock(delivered.chunks, started, stopped, 2500ms, 2500ms);
    EXPECT_EQ(delivered.threads, std::set<std::string>{"mic-capture"});
}

TEST(PulseAudioCapture, MonitorAsDefaultSourceIsNoMicrophoneAndStopIsFinal) {
    // Without an input device the server's default source is the sink's
    // monitor; recording it as the microphone would duplicate system audio.
    PulseDaemon daemon;
    ScopedEnv server("PULSE_SERVER", daemon.server());
    auto microphone = makePulseAudioCapture(AudioSource::microphone);
    auto systemAudio = makePulseAudioCapture(AudioSource::systemAudio);
    for (int round = 0; round < 2; ++round) {  // stopped captures start again
        Recording mic;
        Recording system;
        microphone->start(mic.handler());
        systemAudio->start(system.handler());
        // By the time system audio flows, the microphone has looked at the same server.
        ASSERT_TRUE(system.waitForFrames(kCaptureSampleRate / 2)) << round;
        microphone->stop();
        systemAudio->stop();
        const auto delivered = system.frameCount();
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(system.frameCount(), delivered) << "a chunk arrived after stop()";
        EXPECT_EQ(mic.frameCount(), 0u);
    }
}

TEST(PulseAudioCapture, ServerGoingAwayLeavesTheCaptureSilentAndStoppable) {
    auto daemon = std::make_optional<PulseDaemon>();
    ScopedEnv server("PULSE_SERVER", daemon->server());
    auto capture = makePulseAudioCapture(AudioSource::systemAudio, 20ms);
    Recording recording;
    capture->start(recording.handler());
    ASSERT_TRUE(recording.waitForFrames(kCaptureSampleRate / 20));
    daemon.reset();
    std::this_thread::sleep_for(200ms);  // several reconnection attempts
    const auto delivered = recording.frameCount();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recording.frameCount(), delivered);
    capture->stop();
    EXPECT_FALSE(capture->isRunning());
}

}  // namespace
}  // namespace zarvex
