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

// Everything a capture delivered: its chunks, the left channel and the names of
// the threads that delivered them.
struct Delivered {
    std::vector<Chunk> chunks;
    std::vector<float> left;
    std::set<std::string> threads;

    // Host time of frame `index` of the left channel.
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
            for (std::size_t i = 0; i < chunk.samples.size(); i += kCaptureChannelCount) {
                delivered_.left.push_back(chunk.samples[i]);
            }
            delivered_.threads.insert(currentThreadName());
            changed_.notify_all();
        };
    }

    // Waits until at least `frames` frames have arrived.
    bool waitForFrames(std::size_t frames) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kWaitLimit,
                                 [&] { return delivered_.left.size() >= frames; });
    }
    Delivered delivered() const {
        std::lock_guard lock(mutex_);
        return delivered_;
    }
    std::size_t frameCount() const { return delivered().left.size(); }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Delivered delivered_;
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
    const auto& left = delivered.left;
    const std::size_t onset = firstLoud(left);
    ASSERT_LT(onset, left.size()) << "the tone never arrived";
    // Measured over 0.8 s of the tone, clear of its start and end.
    const std::size_t begin = onset + kCaptureSampleRate / 20;
    const std::size_t end = std::min(left.size(), begin + kCaptureSampleRate * 8 / 10);
    EXPECT_NEAR(frequencyOf(left, begin, end), 1000.0, 10.0);

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
    EXPECT_NEAR(frequencyOf(delivered.left, 0, delivered.left.size()), 440.0, 5.0);
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
