#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "render/audio_output.h"
#include "render/player.h"
#include "render/task_scheduler.h"

namespace zarvex {

class PlaybackPipeline;
struct PlaybackStatistics;

// The real player: plays an item with sound, frames styled by the item's
// video composition on worker threads and handed to the frame sink when the
// sound reaches their time (a steady clock stands in without sound). Seeks
// are exact; a newer seek supersedes one still on its way. Playback stops at
// the forward end time.
//
// Main thread only, like the port. The engine needs:
//  - `scheduler`: main-thread timers, for the periodic time observers;
//  - `postToMainThread`: runs a function on the main thread soon, callable
//    from any thread (workers report back through it);
//  - `audioOutput`: makes the sound output when the first item with sound
//    comes (on a player thread); empty, or an output that cannot start,
//    plays silently;
//  - `retire`: runs the engine's last clean-up (joining its threads, closing
//    the sound) on another thread, so destroying the engine does not wait for
//    it; empty: the destructor waits.
class PlaybackEngine : public Player {
  public:
    struct Services {
        std::shared_ptr<TaskScheduler> scheduler;
        std::function<void(std::function<void()>)> postToMainThread;
        AudioOutputFactory audioOutput;
        std::function<void(std::function<void()>)> retire;
    };

    explicit PlaybackEngine(Services services);
    ~PlaybackEngine() override;
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    void replaceCurrentItem(std::shared_ptr<PlayerItem> item) override;
    const PlayerItem* currentItem() const override { return item_.get(); }
    void setVideoComposition(std::shared_ptr<const VideoComposition> videoComposition) override;
    void setForwardPlaybackEndTime(MediaTime time) override;

    void seek(MediaTime time, std::function<void(bool finished)> completion = {}) override;

    double rate() const override { return rate_; }
    void setRate(double rate) override;
    MediaTime currentTime() const override;

    float volume() const override { return volume_; }
    void setVolume(float volume) override;
    bool isMuted() const override { return muted_; }
    void setMuted(bool muted) override;

    ObserverID addPeriodicTimeObserver(MediaTime interval,
                                       std::function<void(MediaTime)> observer) override;
    void removeTimeObserver(ObserverID id) override;
    ObserverID addRateObserver(std::function<void(double rate)> observer) override;
    void removeRateObserver(ObserverID id) override;

    void setFrameSink(std::shared_ptr<FrameSink> sink) override;
    void setMaximumPictureSize(Size size) override;
    std::optional<std::string> error() const override { return error_; }

    // What playback has seen so far (frames on time, dropped, A/V offset).
    PlaybackStatistics statistics() const;

  private:
    struct TimeObserver {
        MediaTime interval;
        std::function<void(MediaTime)> callback;
        std::unique_ptr<ScheduledTask> timer;  // while playing
    };

    MediaTime endTime() const;
    void post(std::function<void()> action);
    void finishSeek(std::uint64_t serial, bool shown);
    void changeRate(double rate);
    void notifyTime();
    void startObserverTimer(ObserverID id, TimeObserver& observer);
    void applyGain();

    Services services_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // posted work checks it
    std::unique_ptr<PlaybackPipeline> pipeline_;
    std::shared_ptr<PlayerItem> item_;
    double rate_ = 0;
    float volume_ = 1;
    bool muted_ = false;
    std::optional<std::string> error_;
    std::uint64_t seekSerial_ = 0;
    std::function<void(bool)> pendingCompletion_;  // of seek seekSerial_
    std::map<ObserverID, TimeObserver> timeObservers_;
    std::map<ObserverID, std::function<void(double)>> rateObservers_;
    ObserverID nextObserverID_ = 1;
};

}  // namespace zarvex
