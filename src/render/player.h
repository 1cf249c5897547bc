#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "media/media_time.h"
#include "media/video_frame.h"
#include "model/geometry.h"
#include "render/composition.h"
#include "render/video_composition.h"

namespace zarvex {

// What a player plays: a composition, drawn through a video composition,
// up to an optional end time.
struct PlayerItem {
    std::shared_ptr<const Composition> asset;
    std::shared_ptr<const VideoComposition> videoComposition;
    // Playback stops here; invalid means at the end of the composition.
    MediaTime forwardPlaybackEndTime = MediaTime::invalid();
};

// Where a player's pictures go. present() is called on a player thread, one
// call at a time, with each new picture (premultiplied BGRA at the size the
// player draws, see Player::setMaximumPictureSize) and the composition time it
// shows. It must return quickly and must not call back into the player. The
// pixels stay valid, and are not reused, while any copy of the frame is held.
class FrameSink {
  public:
    virtual ~FrameSink() = default;
    virtual void present(const VideoFrame& frame, MediaTime time) = 0;
};

// Port: the player behind the editor's preview. Every call comes from the main
// thread, and completions and observers are called on the main thread
// (possibly before the call that caused them returns).
class Player {
  public:
    using ObserverID = int;

    virtual ~Player() = default;

    // Replaces the current item (null: none). The player keeps its current time.
    virtual void replaceCurrentItem(std::shared_ptr<PlayerItem> item) = 0;
    virtual const PlayerItem* currentItem() const = 0;
    // Change the current item (nothing happens without one).
    virtual void setVideoComposition(std::shared_ptr<const VideoComposition> videoComposition) = 0;
    virtual void setForwardPlaybackEndTime(MediaTime time) = 0;

    // Moves to exactly `time` (zero tolerance before and after) and shows the
    // frame there; `completion` gets true once that frame is shown, false when
    // a later seek or item change superseded this one.
    virtual void seek(MediaTime time, std::function<void(bool finished)> completion = {}) = 0;

    virtual double rate() const = 0;  // 0 while paused
    // 0 pauses; any other rate plays forward at normal speed. Playing at or
    // past the end time starts again from the beginning of the item.
    virtual void setRate(double rate) = 0;
    virtual MediaTime currentTime() const = 0;

    virtual float volume() const = 0;  // 0…1
    virtual void setVolume(float volume) = 0;
    virtual bool isMuted() const = 0;
    virtual void setMuted(bool muted) = 0;

    // Calls `observer` with the current time about every `interval` while
    // playing, and whenever the time jumps (after a seek) or playback stops.
    virtual ObserverID addPeriodicTimeObserver(MediaTime interval,
                                               std::function<void(MediaTime)> observer) = 0;
    virtual void removeTimeObserver(ObserverID id) = 0;
    // Calls `observer` with the new rate whenever it changes: play, pause, and
    // the stop at the end time.
    virtual ObserverID addRateObserver(std::function<void(double rate)> observer) = 0;
    virtual void removeRateObserver(ObserverID id) = 0;

    // Where the pictures go (null: nowhere).
    virtual void setFrameSink(std::shared_ptr<FrameSink> sink) = 0;
    // The largest picture worth drawing, in pixels (the view's size): a player
    // may draw the composition smaller, at the same aspect, to fit it. An
    // empty size lifts the limit.
    virtual void setMaximumPictureSize(Size size) = 0;

    // Why playback failed (a movie could not be decoded); nothing while all is
    // well, and again once playback starts or seeks anew. Playback stops when
    // it fails and the rate observers hear of it, with rate 0 also when the
    // failure came while paused (a seek that could not be shown).
    virtual std::optional<std::string> error() const = 0;
};

}  // namespace zarvex
