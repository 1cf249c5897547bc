#include "fake_camera.h"

#include <cstring>
#include <stdexcept>

#include "capture/errors.h"

namespace zarvex::testing {

void FakeCamera::start(FrameHandler handler) {
    if (isRunning()) {
        throw std::logic_error("camera capture is already running");
    }
    ++starts;
    if (startFailure) {
        throw RecorderError::writerFailed(*startFailure);
    }
    started_ = true;
    handler_ = handler ? std::move(handler) : [](const CameraFrame&) {};
}

void FakeCamera::stop() {
    handler_ = nullptr;
}

bool FakeCamera::deliverFrame(HostTime time, std::uint8_t luma) {
    auto image = VideoFrame::allocate(PixelFormat::i420, width_, height_);
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? height_ : height_ / 2;
        const int columns = plane == 0 ? width_ : width_ / 2;
        for (int y = 0; y < rows; ++y) {
            std::memset(image.row(plane, y), plane == 0 ? luma : 128, std::size_t(columns));
        }
    }
    image.color = {YuvMatrix::bt601, YuvRange::limited};
    if (!isRunning()) {
        return false;
    }
    handler_({image, time});
    return true;
}

}  // namespace zarvex::testing
