#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "render/audio_feed.h"
#include "render/frame_composer.h"
#include "render/frame_source.h"
#include "render/playback_clock.h"
#include "render/player.h"
#include "render/track_feed.h"

namespace zarvex {

// What the pipeline has seen while playing, for tests and benchmarks.
struct PlaybackStatistics {
    std::int64_t presented = 0;  // pictures handed to the sink
    std::int64_t due = 0;        // frames whose time came while playing (repeats too)
    std::int64_t late = 0;       // of those, handled more than one 60 Hz refresh late
    std::int64_t dropped = 0;    // skipped because a later frame was already due
    // Picture time minus the heard sound's time (as the output reports it)
    // for each frame handed over while the sound was the clock; the first
    // kMaxOffsets of them.
    std::vector<float> offsetSeconds;
    static constexpr std::size_t kMaxOffsets = 100'000;
};

// The threads of a player: one decoding thread per video track (TrackFeed),
// the sound (AudioFeed), a compositor thread that draws styled frames ahead
// of the clock from the decoded pictures, and a presenter thread that hands
// each frame to the sink when the clock reaches its time.
//
// Every public call is thread-safe and returns at once (the sound output is
// opened, and an item's sound stopped, on the compositor thread); the player
// calls them from the main thread. The callbacks are called on the pipeline's
// threads and must only post work elsewhere.
class PlaybackPipeline {
  public:
    struct Callbacks {
        // The picture of seek `serial` was shown (true) or could not be (false).
        std::function<void(std::uint64_t serial, bool shown)> seekDone;
        // Playback reached the end time and stopped there.
        std::function<void(MediaTime end)> ended;
        // A movie could not be decoded, or a frame not drawn; playback stopped.
        std::function<void(std::string message)> failed;
    };

    PlaybackPipeline(Callbacks callbacks, AudioOutputFactory audioOutputFactory);
    ~PlaybackPipeline();
    PlaybackPipeline(const PlaybackPipeline&) = delete;
    PlaybackPipeline& operator=(const PlaybackPipeline&) = delete;

    // A new item (or none), stopped at `time`; nothing is drawn until a seek.
    void setItem(std::shared_ptr<const Composition> asset,
                 std::shared_ptr<const VideoComposition> videoComposition, MediaTime endTime,
                 MediaTime time);
    // New drawing instructions: the frames on their way are drawn again, and
    // so is the picture on screen while stopped.
    void setVideoComposition(std::shared_ptr<const VideoComposition> videoComposition);
    void setEndTime(MediaTime endTime);
    void setMaximumPictureSize(Size size);
    void setFrameSink(std::shared_ptr<FrameSink> sink);
    void setGain(float gain);

    // Shows the picture at `time` and goes on from there; `serial` names the
    // seek in seekDone (a later seek supersedes an earlier one, which is then
    // never reported).
    void seek(MediaTime time, std::uint64_t serial);
    void play();
    void pause();

    bool playing() const;
    // Where playback stands: the clock while playing, else where it stopped.
    MediaTime currentTime();
    MediaTime endTime() const;
    PlaybackStatistics statistics() const;

    // The grid time of the first frame after `time`.
    static MediaTime frameAfter(MediaTime time, MediaTime frameDuration);

  private:
    struct Frame {
        MediaTime time;
        SourceFrameSet sources;
        VideoFrame picture;
        std::uint64_t epoch = 0;
        std::uint64_t seekSerial = 0;  // the seek it answers; 0: none
        bool immediate = false;        // shown at once, not at its time
    };
    using Lock = std::unique_lock<std::mutex>;

    // Under mutex_.
    double clockNow();
    void startClock(MediaTime time);
    void fail(const std::string& message, std::uint64_t seekSerial);

    // The compositor thread.
    void composeLoop();
    void rebuildFeeds(const std::shared_ptr<const Composition>& asset);
    std::unique_ptr<AudioFeed> makeAudioFeed(const std::shared_ptr<const Composition>& asset);
    void installAudioFeed(std::unique_ptr<AudioFeed> feed);
    std::shared_ptr<const VideoComposition> drawingFor(
        const std::shared_ptr<const VideoComposition>& composition, Size maximum);
    std::optional<SourceFrameSet> gather(MediaTime time, std::uint64_t epoch, bool playing);
    VideoFrame draw(const SourceFrameSet& sources);
    void drawAndQueue(Lock& lock, MediaTime time, std::uint64_t seekSerial);
    void redrawQueued(Lock& lock);
    static void relock(Lock& lock);

    // The presenter thread.
    void presentLoop();
    void handOver(Lock& lock, Frame frame);

    Callbacks callbacks_;
    AudioOutputFactory audioOutputFactory_;
    std::unique_ptr<AudioOutput> audioOutput_;  // made and used by the compositor thread

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;

    // The item and how to draw it; versions tell the compositor what changed.
    std::shared_ptr<const Composition> asset_;
    std::shared_ptr<const VideoComposition> videoComposition_;
    Size maximumSize_;
    std::uint64_t assetVersion_ = 0;
    std::uint64_t drawingVersion_ = 0;  // composition or size
    MediaTime endTime_ = MediaTime::zero();
    std::unique_ptr<AudioFeed> audioFeed_;
    // Feeds of earlier items, paused, for the compositor thread to take apart
    // before it makes the next one (they share the output).
    std::vector<std::unique_ptr<AudioFeed>> retiredAudioFeeds_;
    float gain_ = 1;
    std::shared_ptr<FrameSink> sink_;
    const std::uint8_t* presentedPicture_ = nullptr;  // pixels the sink has now

    // Where playback stands.
    bool playing_ = false;
    PlaybackClock clock_;
    MediaTime stoppedAt_ = MediaTime::zero();
    std::atomic<std::uint64_t> epoch_{0};  // counts seeks and item changes
    std::optional<std::pair<MediaTime, std::uint64_t>> pendingSeek_;  // time, serial
    bool redrawShown_ = false;
    bool resetFeeds_ = false;  // after a failure: decoders start afresh

    std::deque<Frame> queue_;     // drawn, waiting for their time
    std::optional<Frame> shown_;  // the picture on screen
    PlaybackStatistics statistics_;

    // The compositor thread's own.
    std::map<TrackID, std::unique_ptr<TrackFeed>> feeds_;
    std::shared_ptr<const Composition> feedAsset_;
    std::uint64_t builtAssetVersion_ = 0;
    std::uint64_t builtDrawingVersion_ = 0;
    std::shared_ptr<const VideoComposition> drawing_;  // at the size drawn
    BackgroundCache backgrounds_;
    std::unique_ptr<FramePool> pool_;
    FrameComposer composer_;
    MediaTime nextTime_ = MediaTime::zero();

    std::thread composeThread_;
    std::thread presentThread_;
};

}  // namespace zarvex
