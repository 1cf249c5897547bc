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
// Sound devices play at a steady rate, but the reports of the heard position
// come in steps and jitter by tens of milliseconds (Qt's PulseAudio output
// swings in a saw tooth of about 80 ms). So the clock runs at the steady
// rate and leans towards the reports: a difference is closed over
// kSlewSeconds, and when the clock is ahead of the sound it slows by no more
// than kMaxSlewRate of real time, so playback stays smooth. When the sound is more than
// kJumpSeconds ahead the clock jumps to it; more than that behind (the sound stalled), it waits for
// it and then goes on with it. It never runs backwards. Not thread-safe.
class PlaybackClock {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr double kJumpSeconds = 0.2;
    static constexpr double kSlewSeconds = 0.5;
    static constexpr double kMaxSlewRate = 0.05;
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
    bool waiting_ = false;  // for the sound to catch up after it stalled
    double anchor_ = 0;     // the time at anchorAt_
    Clock::time_point anchorAt_{};
    double last_ = 0;  // the last time given out
    Clock::time_point lastAt_{};
};

}  // namespace zarvex
