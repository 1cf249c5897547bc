#pragma once

#include <QWidget>

#include <functional>
#include <vector>

namespace zarvex {

// The horizontal room a track leaves at each end, so a handle centred on
// either end stays inside the widget.
inline constexpr double kTrackInset = 7;
inline constexpr int kClickMarkerHitSlop = 4;  // points either side of a marker

// The scrubber: a track over 0 … maximum with the playhead's handle. Pressing
// anywhere starts a scrub and moves there; dragging moves; releasing ends it.
class TimelineScrubber : public QWidget {
    Q_OBJECT
  public:
    explicit TimelineScrubber(QWidget* parent = nullptr);

    void setMaximum(double seconds);
    double maximum() const { return maximum_; }
    // The playhead shown (ignored while the user drags).
    void setValue(double seconds);
    double value() const { return value_; }
    bool isDragging() const { return dragging_; }

    // Where a time sits along the widget, and the time under an x position.
    double positionOf(double seconds) const;
    double timeAt(double x) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void scrubStarted();
    void scrubbed(double seconds);
    void scrubEnded();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    double maximum_ = 0.01;
    double value_ = 0;
    bool dragging_ = false;
};

// One thin mark per click under the scrubber, at the same positions; tapping
// a mark reports its time.
class ClickMarkerStrip : public QWidget {
    Q_OBJECT
  public:
    explicit ClickMarkerStrip(QWidget* parent = nullptr);

    void setTimes(std::vector<double> times);
    const std::vector<double>& times() const { return times_; }
    void setMaximum(double seconds);
    double positionOf(double seconds) const;
    // The click nearest to `x` within reach of a tap; negative when none.
    int markerAt(double x) const;

    // Called with a marker's time when it is tapped.
    std::function<void(double)> onTap;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    std::vector<double> times_;
    double maximum_ = 0.01;
};

}  // namespace zarvex
