#include "render/playback_engine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "render/playback_pipeline.h"

namespace zarvex {

PlaybackEngine::PlaybackEngine(Services services) : services_(std::move(services)) {
    // The pipeline may outlive the engine (see the destructor): its callbacks
    // hold the poster, and reach the engine only on the main thread while it lives.
    const auto post = [poster = services_.postToMainThread,
                       alive = std::weak_ptr<int>(alive_)](std::function<void()> action) {
        poster([alive, action = std::move(action)] {
            if (!alive.expired()) {
                action();
            }
        });
    };
    PlaybackPipeline::Callbacks callbacks;
    callbacks.seekDone = [this, post](std::uint64_t serial, bool shown) {
        post([this, serial, shown] { finishSeek(serial, shown); });
    };
    callbacks.ended = [this, post](MediaTime) {
        post([this] {
            if (rate_ != 0) {
                changeRate(0);
            }
        });
    };
    callbacks.failed = [this, post](std::string message) {
        post([this, message = std::move(message)] {
            error_ = message;
            changeRate(0);  // told also when paused: a seek could not be shown
        });
    };
    pipeline_ = std::make_unique<PlaybackPipeline>(std::move(callbacks), services_.audioOutput);
}

PlaybackEngine::~PlaybackEngine() {
    alive_.reset();  // what the pipeline posted from now on finds the engine gone
    // Joining the pipeline's threads and closing the sound take a while: they
    // are done elsewhere when the engine was given a place for that.
    if (services_.retire) {
        services_.retire([pipeline = std::shared_ptr<PlaybackPipeline>(std::move(pipeline_))] {});
    }
    pipeline_.reset();
}

PlaybackStatistics PlaybackEngine::statistics() const {
    return pipeline_->statistics();
}

void PlaybackEngine::post(std::function<void()> action) {
    services_.postToMainThread([alive = std::weak_ptr<int>(alive_), action = std::move(action)] {
        if (!alive.expired()) {
            action();
        }
    });
}

MediaTime PlaybackEngine::endTime() const {
    if (!item_ || !item_->asset) {
        return MediaTime::zero();
    }
    const MediaTime duration = item_->asset->duration();
    const MediaTime end = item_->forwardPlaybackEndTime;
    return end.isValid() && end < duration ? std::max(end, MediaTime::zero()) : duration;
}

void PlaybackEngine::replaceCurrentItem(std::shared_ptr<PlayerItem> item) {
    if (rate_ != 0) {
        pipeline_->pause();
        changeRate(0);
    }
    if (pendingCompletion_) {
        post([completion = std::move(pendingCompletion_)] { completion(false); });
        pendingCompletion_ = {};
    }
    ++seekSerial_;
    error_.reset();
    const MediaTime time = currentTime();
    item_ = std::move(item);
    if (item_) {
        pipeline_->setItem(item_->asset, item_->videoComposition, endTime(),
                           std::min(time, endTime()));
    } else {
        pipeline_->setItem(nullptr, nullptr, MediaTime::zero(), MediaTime::zero());
    }
}

void PlaybackEngine::setVideoComposition(std::shared_ptr<const VideoComposition> videoComposition) {
    if (!item_) {
        return;
    }
    item_->videoComposition = videoComposition;
    pipeline_->setVideoComposition(std::move(videoComposition));
}

void PlaybackEngine::setForwardPlaybackEndTime(MediaTime time) {
    if (!item_) {
        return;
    }
    item_->forwardPlaybackEndTime = time;
    pipeline_->setEndTime(endTime());
}

void PlaybackEngine::seek(MediaTime time, std::function<void(bool finished)> completion) {
    if (pendingCompletion_) {
        post([superseded = std::move(pendingCompletion_)] { superseded(false); });
        pendingCompletion_ = {};
    }
    if (!time.isValid()) {
        if (completion) {
            post([completion = std::move(completion)] { completion(false); });
        }
        return;
    }
    const MediaTime duration = item_ && item_->asset ? item_->asset->duration() : MediaTime::zero();
    time = std::clamp(time, MediaTime::zero(), std::max(duration, MediaTime::zero()));
    error_.reset();
    pendingCompletion_ = std::move(completion);
    pipeline_->seek(time, ++seekSerial_);
}

void PlaybackEngine::finishSeek(std::uint64_t serial, bool shown) {
    if (serial != seekSerial_) {
        return;  // superseded; its completion has been told
    }
    if (std::function<void(bool)> completion = std::move(pendingCompletion_)) {
        pendingCompletion_ = {};
        completion(shown);
    }
    notifyTime();
}

void PlaybackEngine::setRate(double rate) {
    if ((rate != 0) == (rate_ != 0)) {
        return;
    }
    if (rate == 0) {
        pipeline_->pause();
        changeRate(0);
        return;
    }
    if (!item_ || !item_->asset) {
        return;
    }
    if (currentTime() >= endTime()) {
        seek(MediaTime::zero());
    }
    error_.reset();
    pipeline_->play();
    changeRate(1);
}

void PlaybackEngine::changeRate(double rate) {
    rate_ = rate;
    for (auto& [id, observer] : timeObservers_) {
        if (rate_ != 0) {
            startObserverTimer(id, observer);
        } else {
            observer.timer.reset();
        }
    }
    // Copied: an observer may remove itself or others.
    const auto observers = rateObservers_;
    for (const auto& [id, observer] : observers) {
        if (rateObservers_.count(id) != 0) {
            observer(rate_);
        }
    }
    notifyTime();
}

MediaTime PlaybackEngine::currentTime() const {
    return pipeline_->currentTime();
}

void PlaybackEngine::setVolume(float volume) {
    volume_ = std::isfinite(volume) ? std::clamp(volume, 0.0f, 1.0f) : volume_;
    applyGain();
}

void PlaybackEngine::setMuted(bool muted) {
    muted_ = muted;
    applyGain();
}

void PlaybackEngine::applyGain() {
    pipeline_->setGain(muted_ ? 0.0f : volume_);
}

Player::ObserverID PlaybackEngine::addPeriodicTimeObserver(
    MediaTime interval, std::function<void(MediaTime)> observer) {
    const ObserverID id = nextObserverID_++;
    TimeObserver& added = timeObservers_[id];
    added.interval = interval;
    added.callback = std::move(observer);
    if (rate_ != 0) {
        startObserverTimer(id, added);
    }
    return id;
}

void PlaybackEngine::startObserverTimer(ObserverID id, TimeObserver& observer) {
    const double seconds = observer.interval.isValid() ? observer.interval.seconds() : 0;
    const auto interval =
        std::chrono::milliseconds(std::max<long long>(1, std::llround(seconds * 1000)));
    observer.timer = services_.scheduler->scheduleRepeating(interval, [this, id] {
        const auto found = timeObservers_.find(id);
        if (found != timeObservers_.end()) {
            // Copied: the observer may remove itself.
            const std::function<void(MediaTime)> callback = found->second.callback;
            callback(currentTime());
        }
    });
}

void PlaybackEngine::removeTimeObserver(ObserverID id) {
    timeObservers_.erase(id);
}

Player::ObserverID PlaybackEngine::addRateObserver(std::function<void(double)> observer) {
    const ObserverID id = nextObserverID_++;
    rateObservers_.emplace(id, std::move(observer));
    return id;
}

void PlaybackEngine::removeRateObserver(ObserverID id) {
    rateObservers_.erase(id);
}

void PlaybackEngine::notifyTime() {
    std::vector<ObserverID> ids;
    for (const auto& [id, observer] : timeObservers_) {
        ids.push_back(id);
    }
    const MediaTime time = currentTime();
    for (const ObserverID id : ids) {
        const auto found = timeObservers_.find(id);
        if (found != timeObservers_.end()) {
            const std::function<void(MediaTime)> callback = found->second.callback;
            callback(time);
        }
    }
}

void PlaybackEngine::setFrameSink(std::shared_ptr<FrameSink> sink) {
    pipeline_->setFrameSink(std::move(sink));
}

void PlaybackEngine::setMaximumPictureSize(Size size) {
    pipeline_->setMaximumPictureSize(size);
}

}  // namespace zarvex
