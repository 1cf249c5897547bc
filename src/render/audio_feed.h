#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "render/audio_output.h"
#include "render/composition.h"

namespace zarvex {

class AudioMixer;

// The sound of a composition while it plays: every audio track mixed as the
// export mixes them, decoded ahead on the feed's own thread into a short ring
// and pulled from there by the output. What the output reports as heard,
// placed on the timeline, is the player's master clock.
//
// The player calls play(), pause(), setGain() and setEndTime() from one
// thread; heardTime() and failed() from any. Opening and closing the device
// happen on the feed's thread, so none of these calls blocks.
class AudioFeed {
  public:
    using Clock = std::chrono::steady_clock;

    // `output` must outlive the feed.
    AudioFeed(std::shared_ptr<const Composition> composition, AudioOutput& output);
    ~AudioFeed();
    AudioFeed(const AudioFeed&) = delete;
    AudioFeed& operator=(const AudioFeed&) = delete;

    // Plays from `time`, dropping whatever was playing.
    void play(MediaTime time);
    void pause();
    // Volume × (muted ? 0 : 1), applied to what the output pulls next, ramped
    // over one pull so the change does not click.
    void setGain(float gain);
    // Silence from this time on (the forward end of playback).
    void setEndTime(MediaTime time);

    // The composition time the listener hears at `now`; nothing before the
    // first sample of the current play() is heard, while paused, or failed.
    std::optional<double> heardTime(Clock::time_point now) const;
    // True when the output could not start or broke down: time must be kept
    // without it until the next play().
    bool failed() const;

  private:
    struct Command {
        std::uint64_t serial = 0;
        std::optional<MediaTime> playFrom;  // nothing: pause
    };

    void run();
    void restart(const Command& command);
    void carryOut(const Command& command, AudioMixer& mixer, std::vector<float>& chunk);
    void fillFrom(AudioMixer& mixer, std::vector<float>& chunk);
    int pull(float* out, int frameCount);

    std::shared_ptr<const Composition> composition_;
    AudioOutput& output_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Command command_;
    std::uint64_t applied_ = 0;  // the serial of the last command carried out
    bool playing_ = false;       // the applied command plays and its output runs
    bool failed_ = false;
    std::int64_t base_ = 0;  // the timeline frame where the applied play started
    // Where the suspended stream paused, on the timeline; nothing when none is.
    std::optional<std::int64_t> suspendedAt_;
    bool stopping_ = false;

    // The ring: frames counted from base_, written by the feed thread up to
    // written_ and read by the output up to read_ (single producer, single
    // consumer; both reset only while the output is stopped).
    std::vector<float> ring_;
    std::atomic<std::int64_t> written_{0};
    std::atomic<std::int64_t> read_{0};
    std::atomic<std::int64_t> endFrame_{INT64_MAX};  // on the timeline
    std::atomic<std::int64_t> pullBase_{0};          // base_ for the output thread
    std::atomic<float> gain_{1};
    float pulledGain_ = 1;  // output thread only

    std::thread thread_;
};

}  // namespace zarvex
