#pragma once

#include <functional>

#include "capture/clock.h"
#include "media/video_frame.h"

namespace zarvex {

// The one thread that delivers camera frames.
inline constexpr const char* kCameraThreadName = "webcam";

// Payloads of RecorderError::writerFailed raised when the camera starts.
inline constexpr const char* kNoCameraMessage = "No camera available.";
inline constexpr const char* kCameraNotConfiguredMessage = "Camera output could not be configured.";

// One picture from the camera. `image` owns its pixels and may be kept after
// the handler returns (it then holds one of the capture's recycled buffers).
struct CameraFrame {
    VideoFrame image;  // I420, even width and height, as the camera captured it (not mirrored)
    HostTime time{};   // when the picture was taken, on the host clock
};

// Port: the default camera.
//
// start() opens and configures the camera and starts delivering frames, one at
// a time and in order, on the thread named kCameraThreadName. It throws
// RecorderError::writerFailed(kNoCameraMessage) when there is no camera or it
// cannot be opened, and RecorderError::writerFailed(kCameraNotConfiguredMessage)
// when it offers no usable picture format or refuses to stream. A camera that
// goes away while running ends the delivery; isRunning() then turns false.
//
// start(), stop(), isRunning() and frameWidth()/frameHeight() belong to one
// controlling thread; the handler must not call them and must not throw.
class CameraCapture {
  public:
    using FrameHandler = std::function<void(const CameraFrame&)>;

    virtual ~CameraCapture() = default;  // a running capture is stopped first

    // Throws std::logic_error when already running.
    virtual void start(FrameHandler handler) = 0;
    // Releases the device. When stop() returns no handler call is running and
    // none will follow. Stopping a stopped capture does nothing.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
    // The size of the delivered frames, fixed from a successful start() until
    // the next one; 0 before the first.
    virtual int frameWidth() const = 0;
    virtual int frameHeight() const = 0;
};

}  // namespace zarvex
