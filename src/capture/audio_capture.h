#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

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

// Places chunks on the host timeline. Within one stream a server loses
// nothing without saying so (a hole comes with its length: skip()), so chunks
// are laid end to end and sample times stay exact. The time each chunk was
// measured at (now − the stream's latency) says where the timeline should
// be, but a single measurement can be far off on a busy machine (the capture
// thread or the server running late, a first reading taken before the stream
// settled). So the timeline follows the measurements only on evidence: when
// the median of a whole correction window disagrees by more than
// `tolerance`, forward by starting again there (a gap, flagged as a
// discontinuity), backward by skipping that many frames, so nothing ever
// overlaps what was already delivered. The first window is short, so a first
// reading that was off is set right early on. A measurement more than
// kJumpThreshold ahead is a gap at once (data lost without a word).
class AudioTimeline {
  public:
    static constexpr HostTime kDefaultTolerance = std::chrono::milliseconds(30);
    static constexpr HostTime kJumpThreshold = std::chrono::milliseconds(250);
    static constexpr std::size_t kFirstWindowFrames = kCaptureSampleRate / 2;
    static constexpr std::size_t kCorrectionWindowFrames = 3 * kCaptureSampleRate;

    struct Placement {
        HostTime time{};             // of the first frame that is kept
        std::size_t skipFrames = 0;  // frames to drop from the chunk's start
        bool discontinuity = false;
    };

    explicit AudioTimeline(HostTime tolerance = kDefaultTolerance) : tolerance_(tolerance) {}

    Placement place(HostTime measured, std::size_t frameCount);
    // A hole of `frameCount` frames in the stream: the next chunk follows it.
    void skip(std::size_t frameCount);

  private:
    HostTime end() const { return anchor_ + audioFramesDuration(framesSinceAnchor_); }
    void restart(HostTime at);

    HostTime tolerance_;
    bool started_ = false;
    HostTime anchor_{};  // kept exact by counting frames from here
    std::size_t framesSinceAnchor_ = 0;
    bool afterHole_ = false;
    std::size_t windowSize_ = kFirstWindowFrames;
    std::size_t windowFrames_ = 0;
    std::vector<HostTime> windowOffsets_;  // measured − placed, per chunk
    std::size_t pendingSkip_ = 0;
};

}  // namespace zarvex
