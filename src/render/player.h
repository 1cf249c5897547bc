#pragma once

#include <functional>
#include <memory>

#include "media/media_time.h"
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

// Port: the player behind the editor's preview. Every call comes from the main
// thread, and completions and time observers are called on the main thread
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
    virtual void setRate(double rate) = 0;
    virtual MediaTime currentTime() const = 0;

    virtual float volume() const = 0;  // 0…1
    virtual void setVolume(float volume) = 0;
    virtual bool isMuted() const = 0;
    virtual void setMuted(bool muted) = 0;

    // Calls `observer` with the current time about every `interval` while
    // playing, and whenever the time jumps (after a seek).
    virtual ObserverID addPeriodicTimeObserver(MediaTime interval,
                                               std::function<void(MediaTime)> observer) = 0;
    virtual void removeTimeObserver(ObserverID id) = 0;
};

}  // namespace zarvex
