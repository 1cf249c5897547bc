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

#include "capture/named_thread.h"
#include "capture/pulse/pulse_audio_capture.h"
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

// Everything a capture delivered, kept for checks on the test thread.
class Recording {
  public:
    AudioCapture::ChunkHandler handler() {
        return [this](const CapturedAudioChunk& chunk) {
            std::lock_guard lock(mutex_);
            chunks_.push_back({chunk.time, chunk.frameCount(), chunk.discontinuity});
            left_.reserve(left_.size() + chunk.frameCount());
            for (std::size_t i = 0; i < chunk.samples.size(); i += kCaptureChannelCount) {
                left_.push_back(chunk.samples[i]);
            }
            threads_.insert(currentThreadName());
            changed_.notify_all();
        };
    }

    // Waits until at least `frames` frames have arrived.
    bool waitForFrames(std::size_t frames) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kWaitLimit, [&] { return left_.size() >= frames; });
    }

    struct Chunk {
        HostTime time;
        std::size_t frames;
        bool discontinuity;
    };
    std::vector<Chunk> chunks() const {
        std::lock_guard lock(mutex_);
        return chunks_;
    }
    std::vector<float> left() const {
        std::lock_guard lock(mutex_);
        return left_;
    }
    std::set<std::string> threads() const {
        std::lock_guard lock(mutex_);
        return threads_;
    }
    std::size_t frameCount() const {
        std::lock_guard lock(mutex_);
        return left_.size();
    }

    // Host time of frame `index` of the left channel.
    HostTime timeOfFrame(std::size_t index) const {
        std::lock_guard lock(mutex_);
        std::size_t first = 0;
        for (const auto& chunk : chunks_) {
            if (index < first + chunk.frames) {
                return chunk.time + audioFramesDuration(index - first);
            }
            first += chunk.frames;
        }
        return HostTime::max();
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Chunk> chunks_;
    std::vector<float> left_;
    std::set<std::string> threads_;
};

// Frequency from the rising zero crossings of [begin, end).
double frequencyOf(const std::vector<float>& samples, std::size_t begin, std::size_t end) {
    std::optional<std::size_t> first;
    std::size_t last = 0;
    int crossings = 0;
    for (std::size_t i = begin + 1; i < end; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            if (!first) {
                first = i;
            } else {
                ++crossings;
            }
            last = i;
        }
    }
    if (!first || crossings == 0) {
        return 0;
    }
    return crossings * double(kCaptureSampleRate) / double(last - *first);
}

std::size_t firstLoud(const std::vector<float>& samples, float threshold = 0.05f) {
    const auto it = std::find_if(samples.begin(), samples.end(),
                                 [&](float s) { return std::abs(s) > threshold; });
    return static_cast<std::size_t>(it - samples.begin());
}

// Chunk times lie within the capture's span, widened by `before` (a source may
// hand over audio from before start()) and `after` (laying chunks end to end
// may run ahead of the clock by the timeline's tolerance).
void expectOrderedAndNearTheClock(const std::vector<Recording::Chunk>& chunks, HostTime started,
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

    const auto left = recording.left();
    const std::size_t onset = firstLoud(left);
    ASSERT_LT(onset, left.size()) << "the tone never arrived";
    // Measured over 0.8 s of the tone, clear of its start and end.
    const std::size_t begin = onset + kCaptureSampleRate / 20;
    const std::size_t end = std::min(left.size(), begin + kCaptureSampleRate * 8 / 10);
    EXPECT_NEAR(frequencyOf(left, begin, end), 1000.0, 10.0);

    // The tone is stamped when it was played, not when it was read.
    const HostTime onsetTime = recording.timeOfFrame(onset);
    EXPECT_GE(onsetTime, playStart - AudioTimeline::kDefaultTolerance - 20ms);
    EXPECT_LE(onsetTime, playEnd + AudioTimeline::kDefaultTolerance);
    expectOrderedAndNearTheClock(recording.chunks(), started, stopped);
    EXPECT_EQ(recording.threads(), std::set<std::string>{"system-audio"});
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

    const auto left = recording.left();
    EXPECT_NEAR(frequencyOf(left, 0, left.size()), 440.0, 5.0);
    // The sine source renders 2 s at a time, ahead of the clock, so its times
    // only show the units and the base are right.
    expectOrderedAndNearTheClock(recording.chunks(), started, stopped, 2500ms, 2500ms);
    EXPECT_EQ(recording.threads(), std::set<std::string>{"mic-capture"});
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
