#pragma once

#include <QImage>
#include <QWidget>

#include "flow/countdown_controller.h"
#include "flow/ui/screen_geometry.h"

namespace zarvex {

// The countdown badge: a 180-point rounded square of black at 0.55 with the
// number in white, 96-point bold rounded digits, centred on the screen about
// to be recorded. Click-through, above other windows, never focused. Without
// a compositing manager it draws what was on screen behind it before it
// appeared, so it still looks translucent.
class CountdownWindow : public QWidget, public CountdownBadge {
    Q_OBJECT
  public:
    // `frame` in global points; `behind`: the screen under it, or null when a
    // compositing manager shows it through the window.
    CountdownWindow(int count, const QRectF& frame, QImage behind);

    void setCount(int count) override;
    int count() const { return count_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int count_;
    QImage behind_;
};

// Badges shown by the countdown controller; `translucent` when a compositing
// manager runs; `host` takes them in where windows cannot place themselves.
CountdownController::BadgeFactory countdownWindows(bool translucent, ViewHost host = {});

}  // namespace zarvex
