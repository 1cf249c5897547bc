#include "render/playback_pipeline.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "capture/named_thread.h"
#include "media/audio_format.h"
#include "media/media_error.h"

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
// Times handed out while playing are on this timescale.
constexpr std::int32_t kClockTimescale = kAudioSampleRate;
constexpr double kRefreshSeconds = 1.0 / 60;
// The presenter looks at the clock at least this often while playing.
constexpr double kPresenterPollSeconds = 0.01;

// A compositor request that failed; its message is shown as it stands.
struct DrawError {
    std::string message;
};

bool hasAudio(const Composition* asset) {
    return asset != nullptr && !asset->tracksOf(TrackKind::audio).empty();
}

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
    std::unique_ptr<AudioFeed> previousFeed;
    {
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
        previousFeed = std::move(audioFeed_);
    }
    // The old feed lets go of the output before a new one takes it; the
    // output opens and the feed starts outside the lock.
    previousFeed.reset();
    std::shared_ptr<const Composition> current;
    float gain = 1;
    MediaTime end;
    {
        std::lock_guard lock(mutex_);
        current = asset_;
        gain = gain_;
        end = endTime_;
    }
    std::unique_ptr<AudioFeed> feed;
    if (hasAudio(current.get())) {
        if (!audioOutput_ && audioOutputFactory_) {
            audioOutput_ = audioOutputFactory_();
        }
        if (audioOutput_) {
            feed = std::make_unique<AudioFeed>(current, *audioOutput_);
            feed->setGain(gain);
            feed->setEndTime(end);
        }
    }
    std::lock_guard lock(mutex_);
    if (asset_ == current) {
        audioFeed_ = std::move(feed);
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

// ------------------------------------------------------------ the compositor thread

void PlaybackPipeline::rebuildFeeds(const std::shared_ptr<const Composition>& asset) {
    feeds_.clear();
    if (!asset) {
        return;
    }
    for (const CompositionTrack& track : asset->tracksOf(TrackKind::video)) {
        feeds_.emplace(track.trackID, std::make_unique<TrackFeed>(track, kDecodedBehind));
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
                builtAssetVersion_ = assetVersion_;
                resetFeeds_ = false;
                const std::shared_ptr<const Composition> asset = asset_;
                lock.unlock();
                rebuildFeeds(asset);
                lock.lock();
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
