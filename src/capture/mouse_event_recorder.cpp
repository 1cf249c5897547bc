#include "capture/mouse_event_recorder.h"

#include <type_traits>

namespace zarvex {

Rect MouseEventRecorder::captureRect(const CaptureTarget& target, ShareableContentSource& content) {
    try {
        return std::visit(
            [&content](const auto& chosen) -> Rect {
                using Target = std::decay_t<decltype(chosen)>;
                if constexpr (std::is_same_v<Target, WindowTarget>) {
                    return content.windowFrame(chosen.windowID).value_or(Rect{});
                } else {
                    const ShareableContent now = content.content();
                    const ShareableDisplay* display = now.display(chosen.displayID);
                    if (display == nullptr) {
                        return Rect{};
                    }
                    if constexpr (std::is_same_v<Target, RegionTarget>) {
                        return chosen.rect.offsetBy(display->frame.minX(), display->frame.minY());
                    } else {
                        return display->frame;
                    }
                }
            },
            target);
    } catch (const ScreenCaptureError&) {
        // Clicks are best effort: without a readable desktop none are recorded,
        // and the screen recorder reports the real failure.
        return Rect{};
    }
}

MouseEventRecorder::MouseEventRecorder(InputMonitor& monitor, double sessionStartSeconds,
                                       Rect captureRect)
    : inputMonitor_(monitor),
      sessionStartSeconds_(sessionStartSeconds),
      captureRect_(captureRect) {}

MouseEventRecorder::~MouseEventRecorder() {
    monitor_.reset();
}

void MouseEventRecorder::start() {
    if (monitor_ || captureRect_.isEmpty()) {
        return;
    }
    const MouseEventMask mask =
        eventMask(MouseEventType::leftMouseDown) | eventMask(MouseEventType::rightMouseDown);
    monitor_ =
        inputMonitor_.addGlobalMonitor(mask, [this](const MouseEvent& event) { handle(event); });
}

RecordedEvents MouseEventRecorder::stop() {
    // Removing the monitor waits for a press being handled, so the list read
    // below is final.
    monitor_.reset();
    std::lock_guard lock(clicksMutex_);
    return RecordedEvents{1, clicks_};
}

void MouseEventRecorder::handle(const MouseEvent& event) {
    const Point q = event.location;
    if (!captureRect_.contains(q)) {
        return;
    }
    const double t = toSeconds(event.timestamp) - sessionStartSeconds_;
    if (t < 0) {
        return;
    }
    const RecordedClick click{t, (q.x - captureRect_.minX()) / captureRect_.width,
                              (q.y - captureRect_.minY()) / captureRect_.height};
    std::lock_guard lock(clicksMutex_);
    clicks_.push_back(click);
}

}  // namespace zarvex
