#include "flow/recording_indicator.h"

namespace zarvex {

RecordingIndicator::RecordingIndicator(std::function<ShareableContent()> desktop,
                                       WindowFrameLookup windowFrame, FrameFactory makeFrame,
                                       QObject* parent)
    : QObject(parent),
      desktop_(std::move(desktop)),
      windowFrame_(std::move(windowFrame)),
      makeFrame_(std::move(makeFrame)) {}

RecordingIndicator::~RecordingIndicator() = default;

void RecordingIndicator::show(const CaptureTarget& target) {
    hide();
    std::optional<Rect> frame;
    try {
        const ShareableContent content =
            std::holds_alternative<WindowTarget>(target) ? ShareableContent{} : desktop_();
        frame = indicatorFrame(target, content, windowFrame_);
    } catch (const std::exception&) {
        // A window system that cannot be asked shows no frame.
    }
    if (!frame) {
        return;
    }
    frame_ = makeFrame_(*frame);
    if (const auto* window = std::get_if<WindowTarget>(&target)) {
        followTimer_ = std::make_unique<QTimer>();
        followTimer_->setInterval(kFrameFollowIntervalMs);
        connect(followTimer_.get(), &QTimer::timeout, this,
                [this, id = window->windowID] { follow(id); });
        followTimer_->start();
    }
}

void RecordingIndicator::follow(WindowID window) {
    if (!frame_) {
        return;
    }
    std::optional<Rect> frame;
    try {
        frame = windowFrame_(window);
    } catch (const std::exception&) {
    }
    if (frame) {
        frame_->setFrame(grownBy(*frame, kFrameOutset));
    } else {
        frame_->orderOut();
    }
}

void RecordingIndicator::hide() {
    followTimer_.reset();
    frame_.reset();
}

}  // namespace zarvex
