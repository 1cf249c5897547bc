#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "event_loop.h"
#include "media_fixtures.h"
#include "render/playback_engine.h"
#include "render/video_composition.h"
#include "temp_dir.h"

// A player on a generated recording, and what reaches its frame sink.
namespace zarvex::testing {

// Keeps every picture handed to it with its time (thread-safe).
class RecordingSink : public FrameSink {
  public:
    struct Shown {
        MediaTime time;
        VideoFrame frame;
    };

    void present(const VideoFrame& frame, MediaTime time) override;
    std::vector<Shown> shown() const;
    std::optional<Shown> last() const;
    std::size_t count() const;

  private:
    mutable std::mutex mutex_;
    std::vector<Shown> shown_;
};

struct PlayerRigOptions {
    RecordingFolderOptions recording{};
    // A webcam movie of this many frames at 30 fps from T0 (none: no webcam).
    std::optional<int> webcamFrames;
    StyleSettings style{};
    // Makes the sound output; empty: none (a steady clock).
    AudioOutputFactory audioOutput{};
};

// A recording folder laid out as the document lays it out, a player on it
// (Qt timers and main-thread posting, so a QCoreApplication runs) and a
// recording sink attached.
class PlayerRig {
  public:
    explicit PlayerRig(const PlayerRigOptions& options = {});

    PlaybackEngine& player() { return *player_; }
    RecordingSink& sink() { return *sink_; }
    // Makes the recording sink the player's (again).
    void attachSink() { player_->setFrameSink(sink_); }
    const std::filesystem::path& folder() const { return folder_; }

    // The video composition for `style` at full size (scaled by `scale`).
    std::shared_ptr<const VideoComposition> videoComposition(const StyleSettings& style,
                                                             double scale = 1.0);
    // The composition the player was given.
    const std::shared_ptr<const VideoComposition>& initialComposition() const { return video_; }
    // What the compositor itself draws for `composition` at `time`.
    VideoFrame reference(const VideoComposition& composition, MediaTime time);

    // Seeks and waits for the completion; its value.
    bool seekAndWait(MediaTime time);

  private:
    TempDir dir_;
    std::filesystem::path folder_;
    ProjectTimeline timeline_;
    std::shared_ptr<const Composition> composition_;
    BackgroundCache cache_;
    std::shared_ptr<const VideoComposition> video_;
    std::shared_ptr<RecordingSink> sink_ = std::make_shared<RecordingSink>();
    std::unique_ptr<PlaybackEngine> player_;
};

}  // namespace zarvex::testing
