#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "capture/camera_capture.h"
#include "capture/camera_manager.h"

namespace zarvex::testing {

// A camera that hands the handler what the test delivers, on the test's
// thread, while it is running; deliveries at other times are dropped.
class FakeCamera : public CameraCapture {
  public:
    explicit FakeCamera(int width = 1280, int height = 720) : width_(width), height_(height) {}

    // When set, start() fails with RecorderError::writerFailed(this text),
    // e.g. kNoCameraMessage.
    std::optional<std::string> startFailure;
    int starts = 0;

    void start(FrameHandler handler) override;
    void stop() override;
    bool isRunning() const override { return static_cast<bool>(handler_); }
    int frameWidth() const override { return started_ ? width_ : 0; }
    int frameHeight() const override { return started_ ? height_ : 0; }

    // An I420 picture of the camera's size, all of one grey, stamped `time`;
    // false when not running.
    bool deliverFrame(HostTime time, std::uint8_t luma = 128);

  private:
    int width_;
    int height_;
    bool started_ = false;
    FrameHandler handler_;
};

// A camera preview that counts what it is asked to do, in `counts`.
class CountingPreview : public CameraPreview {
  public:
    struct Counts {
        std::atomic<int> built{0}, shown{0}, hidden{0}, frames{0};
        std::function<void()> onUse;  // on every show and hide (to note the thread, say)
    };

    explicit CountingPreview(Counts& counts) : counts_(counts) { ++counts_.built; }
    void show() override { used(counts_.shown); }
    void hide() override { used(counts_.hidden); }
    void present(const CameraFrame&) override { ++counts_.frames; }

  private:
    void used(std::atomic<int>& count) {
        if (counts_.onUse) {
            counts_.onUse();
        }
        ++count;
    }
    Counts& counts_;
};

}  // namespace zarvex::testing
