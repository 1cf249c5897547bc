#include "flow/countdown_controller.h"

#include "flow/awaitables.h"

namespace zarvex {

CountdownController::CountdownController(std::function<std::vector<ShareableDisplay>()> displays,
                                         BadgeFactory makeBadge, std::chrono::milliseconds step,
                                         QObject* parent)
    : QObject(parent),
      displays_(std::move(displays)),
      makeBadge_(std::move(makeBadge)),
      step_(step) {}

QCoro::Task<bool> CountdownController::run(int seconds, CaptureTarget target) {
    if (seconds < 1) {
        co_return true;
    }
    cancelled_ = false;
    std::vector<ShareableDisplay> displays;
    try {
        displays = displays_();
    } catch (const std::exception&) {
        // No screen to count down on: the countdown counts as run out.
    }
    const ShareableDisplay* display = countdownDisplay(target, displays);
    if (display == nullptr) {
        co_return true;
    }
    const Rect frame = centredIn(display->frame, Size{kCountdownBadgeSize, kCountdownBadgeSize});
    std::unique_ptr<CountdownBadge> badge = makeBadge_(seconds, frame);
    bool ranOut = true;
    for (int n = seconds; n >= 1; --n) {
        badge->setCount(n);
        co_await sleepFor(step_);
        if (cancelled_) {
            ranOut = false;
            break;
        }
    }
    badge.reset();
    if (ranOut && clearance_.count() > 0) {
        co_await sleepFor(clearance_);
    }
    co_return ranOut;
}

}  // namespace zarvex
