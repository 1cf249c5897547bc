#include "render/playback_clock.h"

#include <algorithm>
#include <cmath>

namespace zarvex {

void PlaybackClock::stop(double time) {
    running_ = false;
    anchor_ = time;
    last_ = time;
}

void PlaybackClock::start(double time, bool withAudio, Clock::time_point now) {
    running_ = true;
    withAudio_ = withAudio;
    heardOnce_ = false;
    waiting_ = false;
    anchor_ = time;
    anchorAt_ = now;
    last_ = time;
    lastAt_ = now;
}

void PlaybackClock::runSteadyFrom(double time, Clock::time_point now) {
    withAudio_ = false;
    anchor_ = time;
    anchorAt_ = now;
}

double PlaybackClock::now(Clock::time_point now, std::optional<double> heard, bool audioFailed) {
    if (!running_) {
        return last_;
    }
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    if (withAudio_ &&
        (audioFailed || (!heardOnce_ && !heard && now - anchorAt_ >= kAudioStartTimeout))) {
        runSteadyFrom(last_, now);
    }
    double time = last_;
    if (!withAudio_) {
        time = anchor_ + seconds(now - anchorAt_);
    } else if (heard) {
        const double elapsed = seconds(now - lastAt_);
        const double predicted = last_ + elapsed;
        const double error = *heard - predicted;
        if (!heardOnce_ || error > kJumpSeconds) {
            time = *heard;
        } else if (waiting_ || error < -kJumpSeconds) {
            // The sound stalled: wait for it, and go on with it exactly.
            waiting_ = *heard < last_;
            time = *heard;
        } else {
            time = predicted + std::max(error * elapsed / kSlewSeconds, -elapsed * kMaxSlewRate);
        }
        heardOnce_ = true;
    } else if (heardOnce_) {
        time = last_;
    }
    last_ = std::max(last_, time);
    lastAt_ = now;
    return last_;
}

}  // namespace zarvex
