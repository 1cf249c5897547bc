#pragma once

#include <span>
#include <vector>

#include "capture/audio_capture.h"

namespace zarvex::testing {

// An audio source that hands the handler what the test delivers, on the test's
// thread, while it is running; deliveries at other times are dropped, as a
// real source would never make them.
class FakeAudioCapture : public AudioCapture {
  public:
    explicit FakeAudioCapture(AudioSource source = AudioSource::microphone) : source_(source) {}

    AudioSource source() const override { return source_; }
    void start(ChunkHandler handler) override;
    void stop() override;
    bool isRunning() const override { return static_cast<bool>(handler_); }
    // Chunks come from the test whenever it delivers them: whether it has.
    bool waitUntilDelivering(std::chrono::milliseconds) override { return delivered_; }

    // Interleaved stereo samples stamped `time`; false when not running.
    bool deliver(HostTime time, std::span<const float> samples, bool discontinuity = false);
    // `frames` frames of a sine of `frequency` Hz at amplitude 0.5 on both
    // channels, continuing the phase of the previous tone.
    bool deliverTone(HostTime time, std::size_t frames, double frequency);

  private:
    AudioSource source_;
    ChunkHandler handler_;
    std::int64_t toneFrames_ = 0;
    bool delivered_ = false;
    std::vector<float> buffer_;
};

}  // namespace zarvex::testing
