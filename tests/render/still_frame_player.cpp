#include "still_frame_player.h"

#include <algorithm>

#include "media/media_error.h"

namespace zarvex::testing {

StillFramePlayer::StillFramePlayer() = default;
StillFramePlayer::~StillFramePlayer() = default;

void StillFramePlayer::replaceCurrentItem(std::shared_ptr<PlayerItem> item) {
    const PlayerItem* current = currentItem();
    if (!current || !item || current->asset != item->asset) {
        source_.reset();
    }
    NullPlayer::replaceCurrentItem(std::move(item));
}

void StillFramePlayer::seek(MediaTime time, std::function<void(bool finished)> completion) {
    if (time.isValid()) {
        time = std::max(time, MediaTime::zero());
        if (currentItem() && currentItem()->asset) {
            time = std::min(time, currentItem()->asset->duration());
        }
    }
    NullPlayer::seek(time);
    render();
    if (completion) {
        completion(true);
    }
    // Copied: an observer may remove itself.
    const auto observers = observers_;
    for (const auto& [id, observer] : observers) {
        observer(currentTime());
    }
}

Player::ObserverID StillFramePlayer::addPeriodicTimeObserver(
    MediaTime, std::function<void(MediaTime)> observer) {
    const ObserverID id = nextObserverID_++;
    observers_.emplace(id, std::move(observer));
    return id;
}

void StillFramePlayer::removeTimeObserver(ObserverID id) {
    observers_.erase(id);
}

void StillFramePlayer::render() {
    frame_ = VideoFrame();
    const PlayerItem* item = currentItem();
    if (!item || !item->asset || !item->videoComposition) {
        return;
    }
    const VideoComposition& videoComposition = *item->videoComposition;
    const int width = static_cast<int>(videoComposition.renderSize.width);
    const int height = static_cast<int>(videoComposition.renderSize.height);
    if (!pool_ || pool_->width() != width || pool_->height() != height) {
        pool_ = std::make_unique<FramePool>(PixelFormat::bgra, width, height);
    }
    if (!source_) {
        source_ = std::make_unique<CompositionFrameSource>(item->asset);
    }
    // The end of the timeline lies just past the last picture; show that picture.
    const MediaTime duration = item->asset->duration();
    MediaTime time = currentTime();
    if (duration > MediaTime::zero() && time >= duration) {
        time = std::max(MediaTime::zero(),
                        subtractTimes(duration, {1, MediaTime::kPreferredTimescale}));
    }
    try {
        const CompositionResult result = source_->styledFrameAt(videoComposition, time, *pool_);
        if (result.ok()) {
            frame_ = result.frame();
        }
    } catch (const MediaError&) {
        // Drawing failed: no frame.
    } catch (const std::bad_alloc&) {
        // Likewise.
    }
    if (frameHandler_) {
        frameHandler_(frame_, currentTime());
    }
}

}  // namespace zarvex::testing
