#pragma once

#include <QWidget>

#include <functional>

namespace zarvex {

// The two-handle trim slider: the kept range between the handles is
// highlighted. The start handle sits just before the range's start and the
// end handle just after its end (each kTrimHandleSize wide), so they never
// cover each other; times map linearly onto the track between them. Dragging
// a handle reports the time under its inner edge; the owner applies the trim
// rules and shows the result with setRange.
class TrimRangeSlider : public QWidget {
    Q_OBJECT
  public:
    explicit TrimRangeSlider(QWidget* parent = nullptr);

    void setDuration(double seconds);
    double duration() const { return duration_; }
    void setRange(double start, double end);
    double start() const { return start_; }
    double end() const { return end_; }

    double positionOf(double seconds) const;
    double timeAt(double x) const;
    QRectF startHandleRect() const;
    QRectF endHandleRect() const;

    std::function<void(double)> onStartDragged;
    std::function<void(double)> onEndDragged;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    enum class Handle { none, start, end };
    double trackLength() const;

    double duration_ = 0;
    double start_ = 0;
    double end_ = 0;
    Handle dragged_ = Handle::none;
    double grabOffset_ = 0;  // pointer x minus the handle's inner edge
};

}  // namespace zarvex
