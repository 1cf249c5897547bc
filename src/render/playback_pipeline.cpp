#include "render/playback_pipeline.h"

#include <algorithm>
#include <cmath>

#include "media/audio_format.h"
#include "media/named_thread.h"

namespace zarvex {
namespace {

// Times handed out while playing are on this timescale.
constexpr std::int32_t kClockTimescale = kAudioSampleRate;
constexpr double kRefreshSeconds = 1.0 / 60;
// The presenter looks at the clock at least this often while playing.
constexpr double kPresenterPollSeconds = 0.01;

}  // namespace

PlaybackPipeline::PlaybackPipeline(Callbacks callbacks, AudioOutputFactory audioOutputFactory)
    : callbacks_(std::move(callbacks)), audioOutputFactory_(std::move(audioOutputFactory)) {
    composeThread_ = startNamedThread("player-compose", [this] { composeLoop(); });
    presentThread_ = startNamedThread("player-present", [this] { presentLoop(); });
}

PlaybackPipeline::~PlaybackPipeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        ++epoch_;
    }
    changed_.notify_all();
    composeThread_.join();
    presentThread_.join();
    feeds_.clear();
    audioFeed_.reset();
    retiredAudioFeeds_.clear();
    audioOutput_.reset();
}

MediaTime PlaybackPipeline::frameAfter(MediaTime time, MediaTime frameDuration) {
    const __int128 numerator = static_cast<__int128>(time.value) * frameDuration.timescale;
    const __int128 denominator = static_cast<__int128>(time.timescale) * frameDuration.value;
    __int128 index = numerator / denominator;
    if (index * denominator > numerator) {
        --index;  // rounded toward zero below zero: floor instead
    }
    return {static_cast<std::int64_t>((index + 1) * frameDuration.value), frameDuration.timescale};
}

void PlaybackPipeline::setItem(std::shared_ptr<const Composition> asset,
                               std::shared_ptr<const VideoComposition> videoComposition,
                               MediaTime endTime, MediaTime time) {
    std::lock_guard lock(mutex_);
    ++epoch_;
    asset_ = std::move(asset);
    videoComposition_ = std::move(videoComposition);
    ++assetVersion_;
    ++drawingVersion_;
    endTime_ = endTime;
    playing_ = false;
    clock_.stop(time.seconds());
    stoppedAt_ = time;
    pendingSeek_.reset();
    redrawShown_ = false;
    queue_.clear();
    shown_.reset();
    presentedPicture_ = nullptr;
    // The new item's sound comes from the compositor thread, which takes this
    // one apart first.
    if (audioFeed_) {
        audioFeed_->pause();
        retiredAudioFeeds_.push_back(std::move(audioFeed_));
    }
    changed_.notify_all();
}

void PlaybackPipeline::setVideoComposition(
    std::shared_ptr<const VideoComposition> videoComposition) {
    std::lock_guard lock(mutex_);
    videoComposition_ = std::move(videoComposition);
    ++drawingVersion_;
    changed_.notify_all();
}

void PlaybackPipeline::setEndTime(MediaTime endTime) {
    std::lock_guard lock(mutex_);
    endTime_ = endTime;
    if (audioFeed_) {
        audioFeed_->setEndTime(endTime);
    }
    changed_.notify_all();
}

void PlaybackPipeline::setMaximumPictureSize(Size size) {
    std::lock_guard lock(mutex_);
    if (size != maximumSize_) {
        maximumSize_ = size;
        ++drawingVersion_;
        changed_.notify_all();
    }
}

void PlaybackPipeline::setFrameSink(std::shared_ptr<FrameSink> sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
    presentedPicture_ = nullptr;
    // A new sink gets the picture on screen at once.
    if (shown_ && !playing_) {
        redrawShown_ = true;
    }
    changed_.notify_all();
}

void PlaybackPipeline::setGain(float gain) {
    std::lock_guard lock(mutex_);
    gain_ = gain;
    if (audioFeed_) {
        audioFeed_->setGain(gain);
    }
}

void PlaybackPipeline::seek(MediaTime time, std::uint64_t serial) {
    std::lock_guard lock(mutex_);
    ++epoch_;
    pendingSeek_ = {time, serial};
    redrawShown_ = false;
    queue_.clear();
    stoppedAt_ = time;
    if (playing_) {
        startClock(time);
    } else {
        clock_.stop(time.seconds());
    }
    changed_.notify_all();
}

void PlaybackPipeline::startClock(MediaTime time) {
    const bool withAudio = audioFeed_ != nullptr;
    clock_.start(time.seconds(), withAudio, PlaybackClock::Clock::now());
    if (withAudio) {
        audioFeed_->play(time);
    }
}

void PlaybackPipeline::play() {
    std::lock_guard lock(mutex_);
    if (playing_ || !asset_) {
        return;
    }
    playing_ = true;
    startClock(stoppedAt_);
    changed_.notify_all();
}

void PlaybackPipeline::pause() {
    std::lock_guard lock(mutex_);
    if (!playing_) {
        return;
    }
    const double time = std::min(clockNow(), endTime_.seconds());
    playing_ = false;
    clock_.stop(time);
    stoppedAt_ = std::max(MediaTime::zero(), MediaTime::fromSeconds(time, kClockTimescale));
    if (audioFeed_) {
        audioFeed_->pause();
    }
    changed_.notify_all();
}

bool PlaybackPipeline::playing() const {
    std::lock_guard lock(mutex_);
    return playing_;
}

MediaTime PlaybackPipeline::currentTime() {
    std::lock_guard lock(mutex_);
    if (!playing_) {
        return stoppedAt_;
    }
    return MediaTime::fromSeconds(std::min(clockNow(), endTime_.seconds()), kClockTimescale);
}

MediaTime PlaybackPipeline::endTime() const {
    std::lock_guard lock(mutex_);
    return endTime_;
}

PlaybackStatistics PlaybackPipeline::statistics() const {
    std::lock_guard lock(mutex_);
    return statistics_;
}

double PlaybackPipeline::clockNow() {
    const auto now = PlaybackClock::Clock::now();
    std::optional<double> heard;
    bool audioFailed = true;
    if (audioFeed_ && clock_.followsAudio()) {
        heard = audioFeed_->heardTime(now);
        audioFailed = audioFeed_->failed();
    }
    return clock_.now(now, heard, audioFailed);
}

void PlaybackPipeline::fail(const std::string& message, std::uint64_t seekSerial) {
    // Under mutex_. Decoders start afresh on the next seek.
    if (playing_) {
        const double time = std::min(clockNow(), endTime_.seconds());
        stoppedAt_ = std::max(MediaTime::zero(), MediaTime::fromSeconds(time, kClockTimescale));
    }
    playing_ = false;
    clock_.stop(stoppedAt_.seconds());
    if (audioFeed_) {
        audioFeed_->pause();
    }
    queue_.clear();
    resetFeeds_ = true;
    if (seekSerial != 0 && callbacks_.seekDone) {
        callbacks_.seekDone(seekSerial, false);
    }
    if (callbacks_.failed) {
        callbacks_.failed(message);
    }
}

// ------------------------------------------------------------ the presenter thread

void PlaybackPipeline::presentLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        while (!queue_.empty() && queue_.front().epoch != epoch_) {
            queue_.pop_front();
        }
        if (!queue_.empty() && queue_.front().immediate) {
            Frame frame = std::move(queue_.front());
            queue_.pop_front();
            handOver(lock, std::move(frame));
            continue;
        }
        if (!playing_) {
            changed_.wait(lock);
            continue;
        }
        const double now = clockNow();
        if (now >= endTime_.seconds()) {
            const MediaTime end = endTime_;
            playing_ = false;
            clock_.stop(end.seconds());
            stoppedAt_ = end;
            if (audioFeed_) {
                audioFeed_->pause();
            }
            changed_.notify_all();
            if (callbacks_.ended) {
                callbacks_.ended(end);
            }
            continue;
        }
        if (queue_.empty() || queue_.front().time.seconds() > now) {
            const double until =
                queue_.empty() ? kPresenterPollSeconds : queue_.front().time.seconds() - now;
            const double wait = std::min({until, kPresenterPollSeconds, endTime_.seconds() - now});
            changed_.wait_for(lock, std::chrono::duration<double>(std::max(wait, 0.0)));
            continue;
        }
        // Frames overtaken by the clock are skipped; the latest due one shows.
        while (queue_.size() >= 2 && !queue_[1].immediate && queue_[1].time.seconds() <= now) {
            queue_.pop_front();
            ++statistics_.due;
            ++statistics_.dropped;
        }
        Frame frame = std::move(queue_.front());
        queue_.pop_front();
        ++statistics_.due;
        if (now - frame.time.seconds() > kRefreshSeconds) {
            ++statistics_.late;
        }
        if (audioFeed_ && clock_.followsAudio()) {
            if (const std::optional<double> heard =
                    audioFeed_->heardTime(PlaybackClock::Clock::now())) {
                if (statistics_.offsetSeconds.size() < PlaybackStatistics::kMaxOffsets) {
                    statistics_.offsetSeconds.push_back(float(frame.time.seconds() - *heard));
                }
            }
        }
        handOver(lock, std::move(frame));
    }
}

void PlaybackPipeline::handOver(std::unique_lock<std::mutex>& lock, Frame frame) {
    const std::shared_ptr<FrameSink> sink = sink_;
    // A frame drawn like the one before it shares its pixels: nothing new to
    // show, unless a seek asks for it.
    const bool fresh =
        !frame.picture.empty() && (frame.immediate || frame.picture.data[0] != presentedPicture_);
    if (fresh) {
        presentedPicture_ = frame.picture.data[0];
        ++statistics_.presented;
    }
    const std::uint64_t seekSerial = frame.seekSerial;
    const MediaTime time = frame.time;
    VideoFrame picture = frame.picture;
    shown_ = std::move(frame);
    changed_.notify_all();  // room in the queue
    lock.unlock();
    if (fresh && sink) {
        sink->present(picture, time);
    }
    if (seekSerial != 0 && callbacks_.seekDone) {
        callbacks_.seekDone(seekSerial, true);
    }
    lock.lock();
}

}  // namespace zarvex
