#pragma once

#include "render/player.h"

namespace zarvex {

// A player for documents nobody watches (the command line): it keeps its item
// and time, draws nothing, and completes every seek at once.
class NullPlayer : public Player {
  public:
    void replaceCurrentItem(std::shared_ptr<PlayerItem> item) override { item_ = std::move(item); }
    const PlayerItem* currentItem() const override { return item_.get(); }
    void setVideoComposition(std::shared_ptr<const VideoComposition> videoComposition) override {
        if (item_) {
            item_->videoComposition = std::move(videoComposition);
        }
    }
    void setForwardPlaybackEndTime(MediaTime time) override {
        if (item_) {
            item_->forwardPlaybackEndTime = time;
        }
    }
    void seek(MediaTime time, std::function<void(bool)> completion = {}) override {
        if (time.isValid()) {
            time_ = time;
        }
        if (completion) {
            completion(true);
        }
    }
    double rate() const override { return 0; }
    void setRate(double) override {}
    MediaTime currentTime() const override { return time_; }
    float volume() const override { return volume_; }
    void setVolume(float volume) override { volume_ = volume; }
    bool isMuted() const override { return muted_; }
    void setMuted(bool muted) override { muted_ = muted; }
    ObserverID addPeriodicTimeObserver(MediaTime, std::function<void(MediaTime)>) override {
        return 0;
    }
    void removeTimeObserver(ObserverID) override {}
    ObserverID addRateObserver(std::function<void(double)>) override { return 0; }
    void removeRateObserver(ObserverID) override {}
    void setFrameSink(std::shared_ptr<FrameSink>) override {}
    void setMaximumPictureSize(Size) override {}
    std::optional<std::string> error() const override { return std::nullopt; }

  private:
    std::shared_ptr<PlayerItem> item_;
    MediaTime time_ = MediaTime::zero();
    float volume_ = 1;
    bool muted_ = false;
};

}  // namespace zarvex
