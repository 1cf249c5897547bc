#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "media/video_frame.h"
#include "render/composition.h"

namespace zarvex {

class VideoDecoder;

// One video track of a composition, decoded ahead on its own thread into a
// bounded window of pictures around the read position. The window keeps a
// few pictures behind the read position too, so a redraw of the picture on
// screen, or a step back by a frame, needs no decoding.
//
// One reader thread (the player's compositor) calls pictureAt(); the feed's
// own thread only decodes. Destruction stops and joins that thread.
class TrackFeed {
  public:
    // What the track shows from a composition time on.
    struct Picture {
        MediaTime from;
        VideoFrame image;                     // empty: nothing (outside the track's span)
        std::optional<MediaTime> sourceTime;  // identifies the image; equal times, equal images
    };

    // `behind`: pictures kept before the read position.
    TrackFeed(const CompositionTrack& track, std::size_t behind);
    ~TrackFeed();
    TrackFeed(const TrackFeed&) = delete;
    TrackFeed& operator=(const TrackFeed&) = delete;

    // The picture shown at `time`; the read position moves there. Waits for
    // the decoder when it has not got that far; when the window holds nothing
    // for `time` (a jump back, or far ahead) decoding starts again from there.
    // Nothing when `cancelled` turns true while waiting (it is polled every
    // few milliseconds). From then on the feed decodes up to `ahead` pictures
    // beyond the read position (at least one). Throws MediaError when the
    // movie cannot be decoded.
    std::optional<Picture> pictureAt(MediaTime time, const std::function<bool()>& cancelled,
                                     std::size_t ahead);

    // Starts decoding from `time` now when the window holds nothing for it,
    // so that several tracks decode for one time at once; pictureAt() then
    // waits for it. Returns at once.
    void prepare(MediaTime time);

    const CompositionTrack& track() const { return track_; }

  private:
    enum class Lookup { found, wait, restart };
    Lookup locate(MediaTime time, std::size_t& index) const;  // under mutex_
    void restartUnlessHeld(MediaTime time);                   // under mutex_
    void run();
    void decodeFrom(MediaTime time, std::uint64_t generation);
    void decodeNext(std::uint64_t generation);
    bool append(Picture picture, bool last, std::uint64_t generation);
    std::size_t aheadCount() const;

    const CompositionTrack track_;
    const TimeRange span_;  // on the composition's timeline
    const std::size_t behind_;
    std::unique_ptr<VideoDecoder> decoder_;  // the feed thread's only

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Picture> window_;  // in time order
    std::size_t cursor_ = 0;      // index of the picture at the read position
    std::size_t ahead_ = 1;       // pictures to decode beyond it
    bool ended_ = false;          // the window's last picture lasts to the end
    std::optional<MediaTime> restartAt_;
    std::uint64_t generation_ = 0;  // counts restarts
    std::exception_ptr failure_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace zarvex
