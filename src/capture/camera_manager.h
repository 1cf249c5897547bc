#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>

#include "capture/camera_capture.h"
#include "capture/permissions.h"
#include "capture/track_feeds.h"
#include "media/movie_writer.h"

namespace zarvex {

// Payloads of RecorderError::writerFailed raised by the webcam file.
inline constexpr const char* kCameraNotRunningMessage = "Camera is not running.";
inline constexpr const char* kWebcamWriterNotStartedMessage = "Could not start webcam writer.";
inline constexpr const char* kWebcamFileNotSavedMessage = "Webcam file failed to save.";

// What a recording needs of the camera: the webcam file on the recording's
// time origin, and stopping the camera afterwards.
class WebcamWriting {
  public:
    virtual ~WebcamWriting() = default;
    // Starts writing the camera's frames stamped at or after `sessionStart`
    // into `file`. Throws RecorderError::writerFailed.
    virtual void startWriting(const std::filesystem::path& file, HostTime sessionStart) = 0;
    // Finishes the file; succeeds at once when none is being written. Blocks.
    // Throws RecorderError::writerFailed.
    virtual void stopWriting() = 0;
    // True once the file being written can take no more (its writer failed,
    // e.g. on a full disk); stopWriting() then reports why. Any thread.
    virtual bool writerFailed() const = 0;
    // Hides the preview and stops the camera unless a file is being written.
    virtual void stop() = 0;
};

// The round preview of the camera, provided by the user interface.
class CameraPreview {
  public:
    virtual ~CameraPreview() = default;
    // Brings the preview to the front without activating the program.
    virtual void show() = 0;
    virtual void hide() = 0;
    // Every camera frame, on the camera's thread; must not throw.
    virtual void present(const CameraFrame& frame) = 0;
};

using CameraFactory = std::function<std::unique_ptr<CameraCapture>()>;
using CameraPreviewFactory = std::function<std::unique_ptr<CameraPreview>()>;

// Runs the webcam for the whole process: the preview while the user frames
// themselves, and the webcam file while a recording runs. The camera and the
// preview are built by the first successful preview start and reused after.
// Destroying the manager while a file is written finishes the file.
//
// Threads: startPreview(), stop() and startWriting() belong to the
// controlling (main) thread; stopWriting() may run on any one other thread at
// a time. Frames arrive on the camera's thread; the writer fields are
// exchanged under a lock, so a frame sees either no writer or a complete one.
class CameraManager final : public WebcamWriting {
  public:
    // `makeCamera` returns null when there is no camera; `makePreview` may be
    // empty (no preview is shown, as on the command line).
    CameraManager(CameraFactory makeCamera, PermissionAuthority& permissions,
                  CameraPreviewFactory makePreview = {});
    ~CameraManager() override;
    CameraManager(const CameraManager&) = delete;
    CameraManager& operator=(const CameraManager&) = delete;

    // Checks the camera permission (PermissionError), builds the camera when
    // it is not built yet, starts it unless it is running, and shows the
    // preview. Throws RecorderError::writerFailed("No camera available.") or
    // ("Camera output could not be configured."); the camera is then not
    // kept, so the next start tries again.
    void startPreview();

    void stop() override;

    // The file is QuickTime, one H.264 track at the camera's capture size
    // (1280 × 720 when the camera gives none), written in fragments like the
    // screen movie. Like the screen movie, the latest picture always reaches
    // it: one that finds the encoder busy waits for room (a newer picture
    // takes its place), at the latest until stopWriting(), so the file ends on
    // the last picture the camera took. Throws "Camera is not running." when the camera is not
    // built or not delivering, and the writer's message (or "Could not start
    // webcam writer.") when the file cannot be started.
    void startWriting(const std::filesystem::path& file, HostTime sessionStart) override;

    // Throws the writer's message (or "Webcam file failed to save.") when
    // finishing fails; the file is let go either way, so a second call
    // succeeds at once.
    void stopWriting() override;
    bool writerFailed() const override;

    bool isRunning() const;  // the camera is delivering
    bool isWriting() const;

  private:
    void didOutputFrame(const CameraFrame& frame, CameraPreview* preview);
    CameraCapture::FrameHandler frameHandler(CameraPreview* preview);

    CameraFactory makeCamera_;
    PermissionAuthority& permissions_;
    CameraPreviewFactory makePreview_;
    std::unique_ptr<CameraCapture> camera_;
    std::unique_ptr<CameraPreview> preview_;

    mutable std::mutex writerMutex_;
    std::unique_ptr<MovieWriter> writer_;
    VideoWriterInput* writerInput_ = nullptr;
    std::unique_ptr<VideoTrackFeed> feed_;
    bool isWriting_ = false;
};

}  // namespace zarvex
