#pragma once

#include <QWidget>

#include "editor/zoom_rules.h"

namespace zarvex {

class ZoomEditor;

// The zoom lane under the scrubber: one bar per zoom segment at the
// scrubber's positions. A click selects a bar (the editor moves the playhead
// into it) or, on empty lane, clears the selection; dragging a bar moves it,
// dragging either end resizes it; Delete or Backspace removes the selected
// one (text fields keep those keys).
class ZoomLane : public QWidget {
    Q_OBJECT
  public:
    explicit ZoomLane(ZoomEditor& editor, QWidget* parent = nullptr);

    double positionOf(double seconds) const;
    double timeAt(double x) const;
    // Segment `index`'s bar in widget coordinates.
    QRectF barRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    enum class Part { none, body, start, end };
    struct Hit {
        int index = -1;
        Part part = Part::none;
    };
    Hit hitAt(QPointF point) const;
    double maximum() const;

    ZoomEditor& editor_;
    Part dragged_ = Part::none;
    double grabOffset_ = 0;  // pointer time minus the grabbed time (start or end)
    double pressX_ = 0;
    bool moved_ = false;  // the pointer left the press point: a drag
};

}  // namespace zarvex
