#pragma once

#include <QPointer>
#include <QWidget>

#include "flow/ui/screen_geometry.h"

class QScreen;

namespace zarvex {

// A Wayland client cannot place its windows, but it can ask for a full-screen
// one on a given screen. The flow's views (overlays, controls bar, countdown
// badge, recording frame, camera preview) become children of one such
// transparent window per screen, each at its place. The window takes input
// only where a view does: the views that were transparent for input as
// windows stay so, and the pointer passes through everywhere else. It is on
// screen only while it holds a visible view. Main thread.
class WaylandStage : public QWidget {
    Q_OBJECT
  public:
    // The stage of `screen` (the primary screen when null), made on first use
    // and gone with the screen.
    static WaylandStage& of(QScreen* screen);

    // Takes `view` in at `frame` (global points), or moves it there when it
    // is already here; a view held by another screen's stage moves over. A
    // view that was a window keeps what its flags said: transparent for input
    // stays transparent, one that never took the keyboard takes no focus.
    void hold(QWidget& view, const QRectF& frame);

    // The region that takes input, in the stage's coordinates; empty when
    // none does.
    QRegion inputRegion() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void childEvent(QChildEvent* event) override;

  private:
    explicit WaylandStage(QScreen* screen);
    void scheduleUpdate();
    void updateStage();

    QPointer<QScreen> screen_;
    bool updatePending_ = false;
};

// Hosts the flow's views on the screen's stage that contains their frame.
ViewHost waylandStageHost();

}  // namespace zarvex
