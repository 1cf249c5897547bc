#include "player_rig.h"

#include <gtest/gtest.h>

#include "document_fixtures.h"
#include "render/frame_source.h"
#include "render/qt_main_thread.h"
#include "render/qt_task_scheduler.h"

namespace zarvex::testing {

void RecordingSink::present(const VideoFrame& frame, MediaTime time) {
    std::lock_guard lock(mutex_);
    shown_.push_back({time, frame});
}

std::vector<RecordingSink::Shown> RecordingSink::shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

std::optional<RecordingSink::Shown> RecordingSink::last() const {
    std::lock_guard lock(mutex_);
    if (shown_.empty()) {
        return std::nullopt;
    }
    return shown_.back();
}

std::size_t RecordingSink::count() const {
    std::lock_guard lock(mutex_);
    return shown_.size();
}

PlayerRig::PlayerRig(const PlayerRigOptions& options) : folder_(dir_ / "Recording") {
    coreApplication();
    writeRecordingFolder(folder_, options.recording);
    ProjectMeta meta = readProjectFile(folder_);
    if (options.webcamFrames) {
        writeWebcamMovie(folder_ / kWebcamFileName, 0, *options.webcamFrames);
        meta.webcamFile = std::string(kWebcamFileName);
    }
    timeline_ = buildProjectTimeline(folder_, meta);
    composition_ = std::make_shared<const Composition>(timeline_.composition);
    video_ = videoComposition(options.style);

    PlaybackEngine::Services services;
    services.scheduler = std::make_shared<QtTaskScheduler>();
    services.postToMainThread = qtMainThreadPoster();
    services.audioOutput = options.audioOutput;
    player_ = std::make_unique<PlaybackEngine>(std::move(services));
    player_->setFrameSink(sink_);
    auto item = std::make_shared<PlayerItem>();
    item->asset = composition_;
    item->videoComposition = video_;
    player_->replaceCurrentItem(item);
}

std::shared_ptr<const VideoComposition> PlayerRig::videoComposition(const StyleSettings& style,
                                                                    double scale) {
    VideoCompositionSource source;
    source.style = style;
    source.screenSize = timeline_.screenSize;
    source.screenTrackID = timeline_.screenTrackID;
    source.webcamTrackID = timeline_.webcamTrackID;
    source.duration = timeline_.duration;
    source.clicks = timeline_.clicks;
    return std::make_shared<const VideoComposition>(
        makeStyledVideoComposition(source, scale, cache_));
}

VideoFrame PlayerRig::reference(const VideoComposition& composition, MediaTime time) {
    CompositionFrameSource source(composition_);
    FramePool pool(PixelFormat::bgra, int(composition.renderSize.width),
                   int(composition.renderSize.height));
    const CompositionResult result = source.styledFrameAt(composition, time, pool);
    EXPECT_TRUE(result.ok());
    return result.ok() ? result.frame() : VideoFrame();
}

bool PlayerRig::seekAndWait(MediaTime time) {
    std::optional<bool> finished;
    player_->seek(time, [&](bool done) { finished = done; });
    EXPECT_TRUE(processEventsUntil([&] { return finished.has_value(); }));
    return finished.value_or(false);
}

}  // namespace zarvex::testing
