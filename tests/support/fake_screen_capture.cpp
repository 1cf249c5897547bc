#include "fake_screen_capture.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace zarvex::testing {

ShareableContent FakeShareableContent::content() {
    if (unreachable) {
        throw ScreenCaptureError("Cannot open the X display: DISPLAY is not set.");
    }
    return current;
}

std::optional<Rect> FakeShareableContent::windowFrame(WindowID id) {
    if (unreachable) {
        throw ScreenCaptureError("Cannot open the X display: DISPLAY is not set.");
    }
    if (const ShareableWindow* window = current.window(id)) {
        return window->frame;
    }
    if (const auto found = hiddenWindowFrames.find(id); found != hiddenWindowFrames.end()) {
        return found->second;
    }
    return std::nullopt;
}

class FakeScreenCapture::Stream : public ScreenStream {
  public:
    explicit Stream(std::shared_ptr<State> state) : state_(std::move(state)) {}
    ~Stream() override { state_->running = false; }
    void stopCapture() override {
        if (state_->stopLog && !std::exchange(stopped_, true)) {
            state_->stopLog->push_back("screen");
        }
        state_->running = false;
    }

  private:
    std::shared_ptr<State> state_;
    bool stopped_ = false;
};

std::unique_ptr<ScreenStream> FakeScreenCapture::startCapture(
    const ContentFilter& startFilter, const StreamConfiguration& startConfiguration,
    ScreenStreamOutput& output) {
    ++starts;
    filter = startFilter;
    configuration = startConfiguration;
    state_ = std::make_shared<State>(State{&output, true, stopLog});
    return std::make_unique<Stream>(state_);
}

bool FakeScreenCapture::running() const {
    return state_ && state_->running;
}

void FakeScreenCapture::deliverFrame(HostTime time, std::uint32_t bgra) {
    if (!configuration) {
        throw std::logic_error("no stream was started");
    }
    VideoFrame image =
        VideoFrame::allocate(PixelFormat::bgra, configuration->width, configuration->height);
    for (int y = 0; y < image.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.row(0, y));
        std::fill_n(row, image.width, bgra);
    }
    deliver(ScreenFrame{FrameStatus::complete, std::move(image), time});
}

void FakeScreenCapture::deliver(const ScreenFrame& frame) {
    if (!running()) {
        throw std::logic_error("no stream is running");
    }
    state_->output->didOutputFrame(frame);
}

void FakeScreenCapture::stopWithError(std::exception_ptr error) {
    if (!running()) {
        throw std::logic_error("no stream is running");
    }
    state_->running = false;
    state_->output->didStopWithError(std::move(error));
}

}  // namespace zarvex::testing
