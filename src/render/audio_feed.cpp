#include "render/audio_feed.h"

#include <algorithm>

#include "media/audio_decoder.h"
#include "media/audio_format.h"
#include "media/named_thread.h"

namespace zarvex {
namespace {

// Decoded ahead of what the output has pulled: enough to ride out a slow disk,
// little enough that a seek throws away nothing much.
constexpr std::int64_t kRingFrames = kAudioSampleRate / 2;
// Decoded before the output starts, so it does not begin with an underrun;
// the rest of the ring fills while the device opens.
constexpr std::int64_t kPrefillFrames = kAudioSampleRate / 20;
constexpr int kChunkFrames = 1024;
// How far past the output's last report the heard position is extrapolated.
constexpr double kMaxExtrapolationSeconds = 0.1;
constexpr auto kRefillInterval = std::chrono::milliseconds(20);
// Playing from within this of where the sound paused resumes it instead of
// starting a new stream (the player's paused time is the clock's, which may
// differ from the last sample heard by a little).
constexpr std::int64_t kResumeSlackFrames = kAudioSampleRate / 25;

}  // namespace

AudioFeed::AudioFeed(std::shared_ptr<const Composition> composition, AudioOutput& output)
    : composition_(std::move(composition)),
      output_(output),
      ring_(std::size_t(2 * kRingFrames)),
      thread_(startNamedThread("player-audio", [this] { run(); })) {}

AudioFeed::~AudioFeed() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void AudioFeed::play(MediaTime time) {
    std::lock_guard lock(mutex_);
    command_ = {command_.serial + 1, time};
    changed_.notify_all();
}

void AudioFeed::pause() {
    std::lock_guard lock(mutex_);
    command_ = {command_.serial + 1, std::nullopt};
    changed_.notify_all();
}

void AudioFeed::setGain(float gain) {
    gain_ = std::clamp(gain, 0.0f, 1.0f);
}

void AudioFeed::setEndTime(MediaTime time) {
    endFrame_ = time.isValid() ? toSampleIndex(time) : INT64_MAX;
}

std::optional<double> AudioFeed::heardTime(Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    if (!playing_ || failed_ || applied_ != command_.serial || output_.failed()) {
        return std::nullopt;
    }
    const std::optional<AudioOutput::Position> heard = output_.played();
    if (!heard) {
        return std::nullopt;
    }
    const double since = std::chrono::duration<double>(now - heard->at).count();
    return double(base_ + heard->frames) / kAudioSampleRate +
           std::clamp(since, 0.0, kMaxExtrapolationSeconds);
}

bool AudioFeed::failed() const {
    std::lock_guard lock(mutex_);
    return applied_ == command_.serial && (failed_ || (playing_ && output_.failed()));
}

void AudioFeed::run() {
    AudioMixer mixer;
    try {
        for (const CompositionTrack& track : composition_->tracksOf(TrackKind::audio)) {
            mixer.addTrack(std::make_unique<AudioDecoder>(track.sourceFile, track.sourceTrackIndex),
                           subtractTimes(track.sourceRange.start, track.insertTime),
                           track.sourceRange);
        }
    } catch (const MediaError&) {
        // Sound that cannot be decoded is left out; the picture plays on.
        mixer = AudioMixer();
    }
    std::vector<float> chunk(2 * std::size_t(kChunkFrames));
    while (true) {
        Command command;
        {
            std::unique_lock lock(mutex_);
            // The output takes from the ring without waking this thread: look
            // again for room every little while.
            const auto ready = [&] {
                return stopping_ || command_.serial != applied_ ||
                       (playing_ && written_ - read_ < kRingFrames && base_ + written_ < endFrame_);
            };
            if (!changed_.wait_for(lock, kRefillInterval, ready)) {
                continue;
            }
            if (stopping_) {
                break;
            }
            command = command_;
        }
        try {
            if (command.serial != applied_) {
                carryOut(command, mixer, chunk);
            } else {
                fillFrom(mixer, chunk);
            }
        } catch (const std::exception&) {
            // Out of memory: the sound stops, time goes on without it.
            output_.stop();
            std::lock_guard lock(mutex_);
            applied_ = command.serial;
            playing_ = false;
            failed_ = true;
        }
    }
    output_.stop();
}

void AudioFeed::carryOut(const Command& command, AudioMixer& mixer, std::vector<float>& chunk) {
    if (!command.playFrom) {
        std::optional<std::int64_t> heardFrame;
        if (playing_) {
            output_.suspend();
            if (const std::optional<AudioOutput::Position> heard = output_.played()) {
                heardFrame = pullBase_ + heard->frames;
            }
        }
        std::lock_guard lock(mutex_);
        applied_ = command.serial;
        playing_ = false;
        suspendedAt_ = heardFrame;
        return;
    }
    const std::int64_t from = toSampleIndex(*command.playFrom);
    // Playing on from where it paused: the stream resumes with what it had.
    if (suspendedAt_ && std::abs(from - *suspendedAt_) <= kResumeSlackFrames) {
        output_.resume();
        std::lock_guard lock(mutex_);
        applied_ = command.serial;
        playing_ = true;
        suspendedAt_.reset();
        return;
    }
    output_.stop();
    try {
        mixer.seek(*command.playFrom);
    } catch (const MediaError&) {
        mixer = AudioMixer();  // sound that cannot be read is left out, as at the start
    }
    written_ = 0;
    read_ = 0;
    pullBase_ = from;
    pulledGain_ = gain_;
    while (written_ < kPrefillFrames && from + written_ < endFrame_) {
        fillFrom(mixer, chunk);
    }
    const bool started = mixer.trackCount() > 0 &&
                         output_.start([this](float* out, int count) { return pull(out, count); });
    std::lock_guard lock(mutex_);
    applied_ = command.serial;
    base_ = from;
    playing_ = started;
    failed_ = !started;
    suspendedAt_.reset();
}

void AudioFeed::fillFrom(AudioMixer& mixer, std::vector<float>& chunk) {
    const std::int64_t written = written_.load();
    const std::int64_t room = kRingFrames - (written - read_.load());
    const std::int64_t beforeEnd = endFrame_.load() - (pullBase_.load() + written);
    const auto count = int(std::min<std::int64_t>({kChunkFrames, room, beforeEnd}));
    if (count <= 0) {
        return;
    }
    try {
        mixer.read(chunk.data(), count);
    } catch (const MediaError&) {
        // A damaged stretch of sound plays as silence.
        std::fill_n(chunk.begin(), 2 * count, 0.0f);
    }
    for (int i = 0; i < count; ++i) {
        const auto at = std::size_t(2 * ((written + i) % kRingFrames));
        ring_[at] = chunk[2 * std::size_t(i)];
        ring_[at + 1] = chunk[2 * std::size_t(i) + 1];
    }
    written_.store(written + count);
}

int AudioFeed::pull(float* out, int frameCount) {
    const std::int64_t read = read_.load();
    const std::int64_t available = written_.load() - read;
    const std::int64_t toEnd = endFrame_.load() - pullBase_.load() - read;
    int count = int(std::clamp<std::int64_t>(available, 0, frameCount));
    for (int i = 0; i < count; ++i) {
        const auto at = std::size_t(2 * ((read + i) % kRingFrames));
        out[2 * i] = ring_[at];
        out[2 * i + 1] = ring_[at + 1];
    }
    // Past the end the stream goes on in silence, so the clock runs on to
    // the end time and playback stops there.
    if (count < frameCount && toEnd <= count) {
        std::fill(out + 2 * count, out + 2 * frameCount, 0.0f);
        count = frameCount;
    }
    const float target = gain_.load();
    for (int i = 0; i < count; ++i) {
        const float gain = pulledGain_ + (target - pulledGain_) * float(i + 1) / float(count);
        out[2 * i] *= gain;
        out[2 * i + 1] *= gain;
    }
    if (count > 0) {
        pulledGain_ = target;
    }
    read_.store(read + count);
    return count;
}

}  // namespace zarvex
