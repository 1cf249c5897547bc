// The compositor thread of the player: decoded pictures in, styled frames out.

#include <algorithm>
#include <new>

#include "media/audio_format.h"
#include "media/media_error.h"
#include "render/playback_pipeline.h"

namespace zarvex {
namespace {

// Styled frames drawn ahead of the clock: enough to ride out a busy moment
// of a loaded machine, few enough that an edit shows up soon while playing.
constexpr std::size_t kDrawnAhead = 4;
// Decoded pictures kept ahead of and behind the compositor, per track, while
// playing. The ones behind let a redraw or a step back by a frame skip the
// decoder. While stopped only the next picture is decoded, so that a seek's
// decoding has the processor to itself.
constexpr std::size_t kDecodedAhead = 6;
constexpr std::size_t kDecodedAheadStopped = 1;
constexpr std::size_t kDecodedBehind = 4;

// A compositor request that failed; its message is shown as it stands.
struct DrawError {
    std::string message;
};

}  // namespace

void PlaybackPipeline::rebuildFeeds(const std::shared_ptr<const Composition>& asset) {
    feeds_.clear();
    if (!asset) {
        return;
    }
    for (const CompositionTrack& track : asset->tracksOf(TrackKind::video)) {
        feeds_.emplace(track.trackID, std::make_unique<TrackFeed>(track, kDecodedBehind));
    }
}

// Without the lock: opening the output asks the sound server for its device.
std::unique_ptr<AudioFeed> PlaybackPipeline::makeAudioFeed(
    const std::shared_ptr<const Composition>& asset) {
    if (!asset || asset->tracksOf(TrackKind::audio).empty()) {
        return nullptr;
    }
    if (!audioOutput_ && audioOutputFactory_) {
        audioOutput_ = audioOutputFactory_();
    }
    return audioOutput_ ? std::make_unique<AudioFeed>(asset, *audioOutput_) : nullptr;
}

// Under the lock. Playback that started before the sound was ready goes on
// with it from where the clock stands.
void PlaybackPipeline::installAudioFeed(std::unique_ptr<AudioFeed> feed) {
    audioFeed_ = std::move(feed);
    audioFeed_->setGain(gain_);
    audioFeed_->setEndTime(endTime_);
    if (playing_) {
        const double now = std::min(clockNow(), endTime_.seconds());
        startClock(std::max(MediaTime::zero(), MediaTime::fromSeconds(now, kAudioSampleRate)));
    }
}

std::shared_ptr<const VideoComposition> PlaybackPipeline::drawingFor(
    const std::shared_ptr<const VideoComposition>& composition, Size maximum) {
    if (!composition) {
        return nullptr;
    }
    const Size full = composition->renderSize;
    double scale = 1.0;
    if (maximum.width > 0 && maximum.height > 0 && full.width > 0 && full.height > 0) {
        scale = std::min({1.0, maximum.width / full.width, maximum.height / full.height});
    }
    auto drawing = std::make_shared<const VideoComposition>(
        scaledVideoComposition(*composition, scale, backgrounds_));
    for (const auto& instruction : drawing->instructions) {
        if (const auto* style = dynamic_cast<const StyleInstruction*>(instruction.get())) {
            style->prepare();
        }
    }
    return drawing;
}

std::optional<SourceFrameSet> PlaybackPipeline::gather(MediaTime time, std::uint64_t epoch,
                                                       bool playing) {
    SourceFrameSet set;
    const std::size_t ahead = playing ? kDecodedAhead : kDecodedAheadStopped;
    set.compositionTime = time;
    const auto superseded = [&] { return epoch_.load() != epoch; };
    const std::vector<TrackID> tracks = CompositionFrameSource::requiredTracks(*drawing_, time);
    // Every track's decoder starts at once; then each is waited for.
    for (const TrackID id : tracks) {
        if (const auto feed = feeds_.find(id); feed != feeds_.end()) {
            feed->second->prepare(time);
        }
    }
    for (const TrackID id : tracks) {
        std::optional<MediaTime> shown;
        if (const auto feed = feeds_.find(id); feed != feeds_.end()) {
            std::optional<TrackFeed::Picture> picture =
                feed->second->pictureAt(time, superseded, ahead);
            if (!picture) {
                return std::nullopt;
            }
            if (!picture->image.empty()) {
                shown = picture->sourceTime;
                set.frames.push_back({id, std::move(picture->image)});
            }
        }
        set.signature.push_back(shown);
    }
    return set;
}

VideoFrame PlaybackPipeline::draw(const SourceFrameSet& sources) {
    const int width = static_cast<int>(drawing_->renderSize.width);
    const int height = static_cast<int>(drawing_->renderSize.height);
    if (!pool_ || pool_->width() != width || pool_->height() != height) {
        pool_ = std::make_unique<FramePool>(PixelFormat::bgra, width, height);
    }
    const CompositionResult result = composer_.compose(*drawing_, sources, *pool_);
    if (!result.ok()) {
        throw DrawError{result.error().message};
    }
    return result.frame();
}

void PlaybackPipeline::composeLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] {
            return stopping_ || assetVersion_ != builtAssetVersion_ || resetFeeds_ ||
                   drawingVersion_ != builtDrawingVersion_ || pendingSeek_ || redrawShown_ ||
                   (playing_ && drawing_ && queue_.size() < kDrawnAhead && nextTime_ < endTime_);
        });
        if (stopping_) {
            return;
        }
        std::uint64_t seekSerial = 0;
        try {
            if (assetVersion_ != builtAssetVersion_ || resetFeeds_) {
                const bool newItem = assetVersion_ != builtAssetVersion_;
                builtAssetVersion_ = assetVersion_;
                resetFeeds_ = false;
                const std::shared_ptr<const Composition> asset = asset_;
                std::vector<std::unique_ptr<AudioFeed>> retired;
                retired.swap(retiredAudioFeeds_);
                lock.unlock();
                retired.clear();  // joins their threads; the output is free again
                rebuildFeeds(asset);
                std::unique_ptr<AudioFeed> sound = newItem ? makeAudioFeed(asset) : nullptr;
                lock.lock();
                if (sound && asset_ == asset) {
                    installAudioFeed(std::move(sound));
                } else if (sound) {
                    retiredAudioFeeds_.push_back(std::move(sound));  // the item changed meanwhile
                }
            } else if (drawingVersion_ != builtDrawingVersion_) {
                builtDrawingVersion_ = drawingVersion_;
                const std::shared_ptr<const VideoComposition> composition = videoComposition_;
                const Size maximum = maximumSize_;
                lock.unlock();
                std::shared_ptr<const VideoComposition> drawing = drawingFor(composition, maximum);
                lock.lock();
                drawing_ = std::move(drawing);
                redrawQueued(lock);
                if (shown_ && !playing_ && !pendingSeek_) {
                    redrawShown_ = true;
                }
            } else if (pendingSeek_) {
                const auto [time, serial] = *pendingSeek_;
                pendingSeek_.reset();
                redrawShown_ = false;
                seekSerial = serial;
                drawAndQueue(lock, time, serial);
            } else if (redrawShown_) {
                redrawShown_ = false;
                if (shown_ && drawing_) {
                    Frame frame = *shown_;
                    frame.epoch = epoch_;
                    lock.unlock();
                    frame.picture = draw(frame.sources);
                    lock.lock();
                    if (frame.epoch == epoch_) {
                        frame.immediate = true;
                        frame.seekSerial = 0;
                        queue_.push_front(std::move(frame));
                        changed_.notify_all();
                    }
                }
            } else if (playing_ && drawing_ && queue_.size() < kDrawnAhead &&
                       nextTime_ < endTime_) {
                drawAndQueue(lock, nextTime_, 0);
            }
        } catch (const DrawError& error) {
            relock(lock);
            fail(error.message, seekSerial);
        } catch (const MediaError& error) {
            relock(lock);
            fail(error.what(), seekSerial);
        } catch (const std::bad_alloc&) {
            relock(lock);
            fail("Not enough memory to draw the frame.", seekSerial);
        }
    }
}

void PlaybackPipeline::relock(std::unique_lock<std::mutex>& lock) {
    if (!lock.owns_lock()) {
        lock.lock();
    }
}

void PlaybackPipeline::drawAndQueue(std::unique_lock<std::mutex>& lock, MediaTime time,
                                    std::uint64_t seekSerial) {
    const std::uint64_t epoch = epoch_;
    if (!drawing_) {
        // Nothing to draw with: the seek is done as far as pictures go.
        if (seekSerial != 0 && callbacks_.seekDone) {
            callbacks_.seekDone(seekSerial, true);
        }
        return;
    }
    // The end of the timeline lies just past the last picture: a seek there
    // shows that picture, as the end of playback leaves it on screen.
    MediaTime drawTime = time;
    if (seekSerial != 0 && asset_) {
        const MediaTime duration = asset_->duration();
        if (duration > MediaTime::zero() && time >= duration) {
            drawTime = std::max(MediaTime::zero(),
                                subtractTimes(duration, {1, MediaTime::kPreferredTimescale}));
        }
    }
    const bool playing = playing_;
    lock.unlock();
    std::optional<Frame> frame;
    if (std::optional<SourceFrameSet> sources = gather(drawTime, epoch, playing)) {
        frame.emplace();
        frame->time = time;
        frame->picture = draw(*sources);
        frame->sources = std::move(*sources);
        frame->epoch = epoch;
        frame->seekSerial = seekSerial;
        frame->immediate = seekSerial != 0;
    }
    lock.lock();
    if (!frame || frame->epoch != epoch_) {
        return;  // a seek came in meanwhile; it is handled next
    }
    nextTime_ = frameAfter(time, drawing_->frameDuration);
    queue_.push_back(std::move(*frame));
    changed_.notify_all();
}

void PlaybackPipeline::redrawQueued(std::unique_lock<std::mutex>& lock) {
    if (queue_.empty() || !drawing_) {
        return;
    }
    std::vector<Frame> frames(queue_.begin(), queue_.end());
    lock.unlock();
    for (Frame& frame : frames) {
        frame.picture = draw(frame.sources);
    }
    lock.lock();
    for (Frame& queued : queue_) {
        for (const Frame& frame : frames) {
            if (frame.epoch == queued.epoch && frame.time == queued.time) {
                queued.picture = frame.picture;
            }
        }
    }
}

}  // namespace zarvex
