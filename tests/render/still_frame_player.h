#pragma once

#include <map>
#include <memory>

#include "render/frame_source.h"
#include "render/null_player.h"

namespace zarvex::testing {

// A player for the document tests that never plays: every seek draws the
// styled frame at the new time, synchronously on the calling thread, and
// completes before it returns, so a test sees the frame at once; the rate
// stays 0.
class StillFramePlayer : public NullPlayer {
  public:
    StillFramePlayer();
    ~StillFramePlayer() override;

    void replaceCurrentItem(std::shared_ptr<PlayerItem> item) override;
    // Seeks past the end show the last picture.
    void seek(MediaTime time, std::function<void(bool finished)> completion = {}) override;

    ObserverID addPeriodicTimeObserver(MediaTime interval,
                                       std::function<void(MediaTime)> observer) override;
    void removeTimeObserver(ObserverID id) override;

    // The BGRA frame drawn by the last seek; empty before the first one, without
    // an item, or when drawing failed.
    const VideoFrame& currentFrame() const { return frame_; }
    // Called after each seek with the frame it drew.
    void setFrameHandler(std::function<void(const VideoFrame&, MediaTime)> handler) {
        frameHandler_ = std::move(handler);
    }

  private:
    void render();

    std::unique_ptr<CompositionFrameSource> source_;
    std::unique_ptr<FramePool> pool_;
    VideoFrame frame_;
    std::function<void(const VideoFrame&, MediaTime)> frameHandler_;
    std::map<ObserverID, std::function<void(MediaTime)>> observers_;
    ObserverID nextObserverID_ = 1;
};

}  // namespace zarvex::testing
