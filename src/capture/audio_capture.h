#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <span>
#include <string_view>

#include "capture/clock.h"

namespace zarvex {

enum class AudioSource { microphone, systemAudio };

// The one thread that delivers a source's chunks: "mic-capture" or "system-audio".
std::string_view audioThreadName(AudioSource source);

// Every source delivers 48 kHz stereo as interleaved 32-bit floats (left,
// right, left, right…), nominally within [-1, 1]; the audio server converts
// whatever the device produces.
inline constexpr int kCaptureSampleRate = 48000;
inline constexpr int kCaptureChannelCount = 2;

// Host-clock duration of `frames` frames at kCaptureSampleRate.
HostTime audioFramesDuration(std::size_t frames);

// A run of captured frames. `samples` is only valid during the handler call.
struct CapturedAudioChunk {
    HostTime time{};  // host time of the first frame
    std::span<const float> samples;
    // True for the first chunk and after a gap (server lost, samples
    // overrun): `time` then does not continue the previous chunk's end.
    bool discontinuity = false;

    std::size_t frameCount() const { return samples.size() / kCaptureChannelCount; }
    HostTime endTime() const { return time + audioFramesDuration(frameCount()); }
};

// Port: one audio source (the microphone or the system's audio output).
//
// Best effort: start() succeeds even when the audio server cannot be reached
// or the device is missing; the source then simply delivers nothing, and a
// backend may keep trying to reach it until stop(). Chunks arrive one at a
// time, in order, on the thread named audioThreadName(source()); chunk times
// are on the host clock, never go backwards, and chunks never overlap.
//
// start(), stop() and isRunning() belong to one controlling thread; the handler
// must not call them and must not throw.
class AudioCapture {
  public:
    using ChunkHandler = std::function<void(const CapturedAudioChunk&)>;

    virtual ~AudioCapture() = default;  // a running capture is stopped first

    virtual AudioSource source() const = 0;
    // Throws std::logic_error when already running.
    virtual void start(ChunkHandler handler) = 0;
    // When stop() returns no handler call is running and none will follow.
    // Stopping a stopped capture does nothing.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;

    // Blocks the controlling thread until the running source has handed its
    // first chunk to the handler (true), has found that it cannot deliver for
    // now — no server, no such device — (false), or `timeout` has passed
    // (false). Lets a recording connect its sources before its time origin,
    // since a server may hold back the first audio of a new stream for a
    // while. A source that cannot tell returns at once.
    virtual bool waitUntilDelivering(std::chrono::milliseconds timeout) = 0;
};

// Places chunks on the host timeline from the time each one was measured at
// (now − the latency the server reports). Measurements jitter by a few
// milliseconds, run early for all but the first packet of a burst (servers
// with long latencies deliver seconds at once), and drift with the device's
// clock. So chunks are laid end to end, which keeps sample times exact, and
// the timeline follows the measurements only when they disagree beyond
// `tolerance`: at once when they run ahead (frames were lost: a gap, flagged
// as a discontinuity), and when even the latest of a whole correction window
// lags behind (the device clock runs fast) by skipping that many frames, so
// nothing ever overlaps what was already delivered.
class AudioTimeline {
  public:
    static constexpr HostTime kDefaultTolerance = std::chrono::milliseconds(30);
    static constexpr std::size_t kCorrectionWindowFrames = 3 * kCaptureSampleRate;

    struct Placement {
        HostTime time{};             // of the first frame that is kept
        std::size_t skipFrames = 0;  // frames to drop from the chunk's start
        bool discontinuity = false;
    };

    explicit AudioTimeline(HostTime tolerance = kDefaultTolerance) : tolerance_(tolerance) {}

    Placement place(HostTime measured, std::size_t frameCount);

  private:
    HostTime end() const { return anchor_ + audioFramesDuration(framesSinceAnchor_); }
    void restartWindow();

    HostTime tolerance_;
    bool started_ = false;
    HostTime anchor_{};  // kept exact by counting frames from here
    std::size_t framesSinceAnchor_ = 0;
    std::size_t windowFrames_ = 0;
    HostTime windowLatest_{};  // the largest measured − placed in this window
    std::size_t pendingSkip_ = 0;
};

}  // namespace zarvex
