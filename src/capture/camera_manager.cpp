#include "capture/camera_manager.h"

#include <utility>

#include "capture/errors.h"
#include "capture/writer_failure.h"
#include "model/geometry.h"

namespace zarvex {
namespace {

constexpr int kFallbackWidth = 1280;
constexpr int kFallbackHeight = 720;
// How long stopWriting() waits for the encoder queue to take the last picture.
constexpr auto kLastFrameWait = std::chrono::seconds(2);

}  // namespace

CameraManager::CameraManager(CameraFactory makeCamera, PermissionAuthority& permissions,
                             CameraPreviewFactory makePreview)
    : makeCamera_(std::move(makeCamera)),
      permissions_(permissions),
      makePreview_(std::move(makePreview)) {}

CameraManager::~CameraManager() {
    // Frames use the preview and the writer: delivery ends before they go.
    if (camera_) {
        camera_->stop();
    }
    // A file still being written is finished, not thrown away.
    try {
        stopWriting();
    } catch (...) {
    }
}

CameraCapture::FrameHandler CameraManager::frameHandler(CameraPreview* preview) {
    return [this, preview](const CameraFrame& frame) { didOutputFrame(frame, preview); };
}

void CameraManager::startPreview() {
    ensureCamera(permissions_);
    if (!camera_) {
        std::unique_ptr<CameraCapture> camera = makeCamera_ ? makeCamera_() : nullptr;
        if (!camera) {
            throw RecorderError::writerFailed(kNoCameraMessage);
        }
        std::unique_ptr<CameraPreview> preview = makePreview_ ? makePreview_() : nullptr;
        camera->start(frameHandler(preview.get()));
        camera_ = std::move(camera);
        preview_ = std::move(preview);
    } else if (!camera_->isRunning()) {
        camera_->start(frameHandler(preview_.get()));
    }
    if (preview_) {
        preview_->show();
    }
}

void CameraManager::stop() {
    if (preview_) {
        preview_->hide();
    }
    if (camera_ && !isWriting() && camera_->isRunning()) {
        camera_->stop();
    }
}

bool CameraManager::isRunning() const {
    return camera_ && camera_->isRunning();
}

bool CameraManager::isWriting() const {
    std::lock_guard lock(writerMutex_);
    return isWriting_;
}

void CameraManager::startWriting(const std::filesystem::path& file, HostTime sessionStart) {
    if (!isRunning()) {
        throw RecorderError::writerFailed(kCameraNotRunningMessage);
    }
    auto writer = std::make_unique<MovieWriter>(file, MovieFileType::quickTimeMovie);
    int width = camera_->frameWidth();
    int height = camera_->frameHeight();
    if (width <= 0 || height <= 0) {
        width = kFallbackWidth;
        height = kFallbackHeight;
    }
    const Size size = evenPixelSize(width, height);
    VideoWriterInput& input = writer->addVideoInput(
        VideoSettings::recordingH264(static_cast<int>(size.width), static_cast<int>(size.height)),
        true);
    try {
        writer->startWriting();
    } catch (const MediaError& error) {
        throw writerFailure(error, kWebcamWriterNotStartedMessage);
    }
    writer->startSession(toMediaTime(sessionStart));
    auto feed = std::make_unique<VideoTrackFeed>(input);
    feed->begin(sessionStart);
    // The camera delivers all the time: no picture is repeated while it stands still.
    feed->stopRepeating();

    std::unique_ptr<MovieWriter> replaced;
    std::lock_guard lock(writerMutex_);
    replaced = std::exchange(writer_, std::move(writer));
    writerInput_ = &input;
    feed_ = std::move(feed);
    isWriting_ = true;
}

void CameraManager::didOutputFrame(const CameraFrame& frame, CameraPreview* preview) {
    {
        std::lock_guard lock(writerMutex_);
        if (isWriting_ && feed_) {
            feed_->deliver(frame.image, frame.time);
        }
    }
    if (preview != nullptr) {
        preview->present(frame);
    }
}

bool CameraManager::writerFailed() const {
    std::lock_guard lock(writerMutex_);
    return writer_ && writer_->status() == MovieWriter::Status::failed;
}

void CameraManager::stopWriting() {
    std::unique_ptr<MovieWriter> writer;
    std::unique_ptr<VideoTrackFeed> feed;
    VideoWriterInput* input = nullptr;
    {
        std::lock_guard lock(writerMutex_);
        isWriting_ = false;
        if (writer_ && feed_) {
            writer = std::move(writer_);
            feed = std::move(feed_);
            input = std::exchange(writerInput_, nullptr);
        }
    }
    if (!writer) {
        return;
    }
    // A picture still waiting for the encoder goes in; the file ends on it.
    feed->finish({}, kLastFrameWait,
                 [&] { return writer->status() == MovieWriter::Status::writing; });
    input->markAsFinished();
    writer->finishWriting();
    if (writer->status() == MovieWriter::Status::failed) {
        throw writerFailure(writer->error(), kWebcamFileNotSavedMessage);
    }
}

}  // namespace zarvex
