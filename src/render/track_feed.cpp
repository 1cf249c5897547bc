#include "render/track_feed.h"

#include <algorithm>
#include <chrono>

#include "media/named_thread.h"
#include "media/video_decoder.h"

namespace zarvex {
namespace {

// A jump further ahead than this starts decoding from the new place (the
// decoder then decides whether seeking or decoding on is cheaper) instead of
// waiting for the feed to walk there with every picture on the way.
constexpr double kWalkAheadSeconds = 0.5;

constexpr auto kCancelPoll = std::chrono::milliseconds(4);

}  // namespace

TrackFeed::TrackFeed(const CompositionTrack& track, std::size_t behind)
    : track_(track),
      span_(track.timeRange()),
      behind_(behind),
      thread_(startNamedThread("player-decode", [this] { run(); })) {}

TrackFeed::~TrackFeed() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::size_t TrackFeed::aheadCount() const {
    return window_.empty() ? 0 : window_.size() - 1 - cursor_;
}

TrackFeed::Lookup TrackFeed::locate(MediaTime time, std::size_t& index) const {
    if (restartAt_ || window_.empty()) {
        return restartAt_ && *restartAt_ == time ? Lookup::wait : Lookup::restart;
    }
    if (time < window_.front().from) {
        return Lookup::restart;
    }
    // The last picture that starts at or before `time`: the one shown then,
    // unless the decoder has yet to deliver a later one.
    const auto after = std::upper_bound(window_.begin(), window_.end(), time,
                                        [](MediaTime t, const Picture& p) { return t < p.from; });
    index = std::size_t(after - window_.begin()) - 1;
    if (after != window_.end() || ended_) {
        return Lookup::found;
    }
    const double beyond = time.seconds() - window_.back().from.seconds();
    return beyond > kWalkAheadSeconds ? Lookup::restart : Lookup::wait;
}

void TrackFeed::restartUnlessHeld(MediaTime time) {
    std::size_t index = 0;
    if (locate(time, index) == Lookup::restart) {
        restartAt_ = time;
        window_.clear();
        cursor_ = 0;
        ended_ = false;
        changed_.notify_all();
    }
}

void TrackFeed::prepare(MediaTime time) {
    std::lock_guard lock(mutex_);
    if (!failure_) {
        restartUnlessHeld(time);
    }
}

std::optional<TrackFeed::Picture> TrackFeed::pictureAt(MediaTime time,
                                                       const std::function<bool()>& cancelled,
                                                       std::size_t ahead) {
    std::unique_lock lock(mutex_);
    ahead_ = std::max<std::size_t>(ahead, 1);
    while (true) {
        if (failure_) {
            std::rethrow_exception(failure_);
        }
        restartUnlessHeld(time);
        std::size_t index = 0;
        const Lookup lookup = locate(time, index);
        if (!restartAt_) {
            // Move the read position up, making room ahead for the decoder.
            cursor_ = index;
            const std::size_t drop = cursor_ > behind_ ? cursor_ - behind_ : 0;
            window_.erase(window_.begin(), window_.begin() + std::ptrdiff_t(drop));
            cursor_ -= drop;
            changed_.notify_all();
            if (lookup == Lookup::found) {
                return window_[cursor_];
            }
        }
        if (cancelled && cancelled()) {
            return std::nullopt;
        }
        changed_.wait_for(lock, kCancelPoll);
    }
}

void TrackFeed::run() {
    std::uint64_t generation = 0;
    while (true) {
        std::optional<MediaTime> restart;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] {
                return stopping_ || restartAt_ ||
                       (!window_.empty() && !ended_ && !failure_ && aheadCount() < ahead_);
            });
            if (stopping_) {
                return;
            }
            if (restartAt_) {
                restart = restartAt_;
                generation = ++generation_;
                failure_ = nullptr;
            }
        }
        try {
            if (!decoder_) {
                decoder_ =
                    std::make_unique<VideoDecoder>(track_.sourceFile, track_.sourceTrackIndex);
            }
            if (restart) {
                decodeFrom(*restart, generation);
            } else {
                decodeNext(generation);
            }
        } catch (...) {
            std::lock_guard lock(mutex_);
            if (generation == generation_) {
                failure_ = std::current_exception();
                restartAt_.reset();
            }
            changed_.notify_all();
        }
    }
}

void TrackFeed::decodeFrom(MediaTime time, std::uint64_t generation) {
    std::vector<Picture> first;
    bool last = false;
    if (time >= span_.end) {
        first.push_back({time, {}, std::nullopt});
        last = true;
    } else {
        // Before the span the track shows nothing; its first picture comes at the start.
        const MediaTime from = std::max(time, span_.start);
        if (time < span_.start) {
            first.push_back({time, {}, std::nullopt});
        }
        std::optional<DecodedFrame> frame = decoder_->frameAt(track_.sourceTime(from));
        if (frame) {
            const MediaTime shownFrom = std::max(
                span_.start,
                addTimes(subtractTimes(frame->time, track_.sourceRange.start), track_.insertTime));
            first.push_back({shownFrom, std::move(frame->image), frame->time});
        } else {
            first.push_back({from, {}, std::nullopt});
        }
    }
    std::lock_guard lock(mutex_);
    if (generation != generation_ || !restartAt_) {
        return;
    }
    restartAt_.reset();
    window_.assign(std::make_move_iterator(first.begin()), std::make_move_iterator(first.end()));
    cursor_ = 0;
    ended_ = last;
    changed_.notify_all();
}

void TrackFeed::decodeNext(std::uint64_t generation) {
    std::optional<DecodedFrame> frame = decoder_->nextFrame();
    Picture picture{span_.end, {}, std::nullopt};
    bool last = true;
    if (frame) {
        const MediaTime from =
            addTimes(subtractTimes(frame->time, track_.sourceRange.start), track_.insertTime);
        if (from < span_.end) {
            picture = {from, std::move(frame->image), frame->time};
            last = false;
        }
    }
    append(std::move(picture), last, generation);
}

bool TrackFeed::append(Picture picture, bool last, std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    if (generation != generation_ || restartAt_) {
        return false;
    }
    window_.push_back(std::move(picture));
    ended_ = last;
    changed_.notify_all();
    return true;
}

}  // namespace zarvex
