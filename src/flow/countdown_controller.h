#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

#include "capture/indicator_geometry.h"
#include "flow/flow_ports.h"

namespace zarvex {

// The countdown badge on screen; destroying it takes it away.
class CountdownBadge {
  public:
    virtual ~CountdownBadge() = default;
    virtual void setCount(int count) = 0;
};

// Counts down before a recording: one number per step (a second), on the
// screen about to be recorded. A cancel is noticed when the current step
// ends. Main thread only; one run at a time.
class CountdownController : public QObject, public Countdown {
    Q_OBJECT
  public:
    // Shows the badge with `count` in `frame` (global points).
    using BadgeFactory =
        std::function<std::unique_ptr<CountdownBadge>(int count, const Rect& frame)>;

    CountdownController(std::function<std::vector<ShareableDisplay>()> displays,
                        BadgeFactory makeBadge,
                        std::chrono::milliseconds step = std::chrono::seconds(1),
                        QObject* parent = nullptr);

    QCoro::Task<bool> run(int seconds, CaptureTarget target) override;
    void cancel() override { cancelled_ = true; }

    // How long a badge that was taken away needs to be gone from the screen
    // before the recording may begin: zero where recordings leave our windows
    // out, a few frames where they cannot (Wayland).
    void setClearance(std::chrono::milliseconds clearance) { clearance_ = clearance; }

  private:
    std::function<std::vector<ShareableDisplay>()> displays_;
    BadgeFactory makeBadge_;
    std::chrono::milliseconds step_;
    std::chrono::milliseconds clearance_{0};
    bool cancelled_ = false;
};

}  // namespace zarvex
