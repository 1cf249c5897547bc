#pragma once

#include <qcoro/qcorotask.h>

#include <atomic>
#include <functional>
#include <memory>

#include "capture/camera_manager.h"
#include "capture/serial_queue.h"

namespace zarvex {

// The process's camera. Its CameraManager lives on one thread of its own
// ("camera-control"): it is built there, every call reaches it there, and it
// is destroyed there, so it is never used from two threads. Opening and
// closing a camera blocks; none of it happens on the main thread.
//
// Threads: startPreview() and stop() belong to the main thread; they are
// carried out in the order they are made. webcam() serves recording sessions
// on their own threads (its calls block until done on the camera thread) and
// must not be used on the main thread.
class CameraController {
  public:
    // `makeManager` runs on the camera thread.
    explicit CameraController(std::function<std::unique_ptr<CameraManager>()> makeManager);
    ~CameraController();
    CameraController(const CameraController&) = delete;
    CameraController& operator=(const CameraController&) = delete;

    // CameraManager::startPreview: throws PermissionError or RecorderError.
    QCoro::Task<void> startPreview();
    // CameraManager::stop, in turn after what was asked before.
    void stop();

    WebcamWriting& webcam() { return webcam_; }

    // The name of the camera thread.
    static constexpr const char* kThreadName = "camera-control";

  private:
    class Webcam final : public WebcamWriting {
      public:
        explicit Webcam(CameraController& owner) : owner_(owner) {}
        void startWriting(const std::filesystem::path& file, HostTime sessionStart) override;
        void stopWriting() override;
        bool writerFailed() const override;
        void stop() override;

      private:
        CameraController& owner_;
    };

    std::unique_ptr<CameraManager> manager_;  // touched on queue_ only
    // The same manager for writerFailed(), which it answers on any thread.
    std::atomic<const CameraManager*> failureWatch_{nullptr};
    Webcam webcam_{*this};
    SerialQueue queue_;
};

}  // namespace zarvex
