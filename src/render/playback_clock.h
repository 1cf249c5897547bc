#pragma once

#include <chrono>
#include <optional>

namespace zarvex {

// Where playback stands on the timeline, in seconds. While running it follows
// the sound heard (the master clock) when there is sound, and a steady clock
// when there is none: before the first sample is heard it holds still; when
// no sound comes for kAudioStartTimeout, or the sound breaks down, it runs on
// the steady clock from where it stands.
//
// Reports of the heard position come in steps and with jitter, so the time
// given out is smoothed: small differences are closed gradually, large ones
// (over kJumpSeconds) at once, and it never runs backwards. Not thread-safe.
class PlaybackClock {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr double kJumpSeconds = 0.05;
    static constexpr double kSlewSeconds = 0.2;  // time to close a small difference
    static constexpr auto kAudioStartTimeout = std::chrono::milliseconds(1500);

    // Stopped at `time`.
    void stop(double time);
    // Running from `time` at `now`; `withAudio`: follow the heard position.
    void start(double time, bool withAudio, Clock::time_point now);

    bool running() const { return running_; }
    bool followsAudio() const { return running_ && withAudio_; }

    // The time at `now`. `heard`: the heard position then (nothing while no
    // sound is heard yet); `audioFailed`: the sound broke down or never came.
    double now(Clock::time_point now, std::optional<double> heard, bool audioFailed);

  private:
    void runSteadyFrom(double time, Clock::time_point now);

    bool running_ = false;
    bool withAudio_ = false;
    bool heardOnce_ = false;
    double anchor_ = 0;  // the time at anchorAt_
    Clock::time_point anchorAt_{};
    double last_ = 0;  // the last time given out
    Clock::time_point lastAt_{};
};

}  // namespace zarvex
