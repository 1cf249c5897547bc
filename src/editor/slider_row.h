#pragma once

#include <QTimer>
#include <QWidget>

#include "editor/style_rules.h"

class QLabel;
class QSlider;

namespace zarvex {

// An inspector row: a label column, a continuous slider over a range and a
// column with the value's text. Moving the slider reports the new value once
// per turn of the event loop (the latest wins), so a fast drag never queues
// more style edits than can be shown.
class SliderRow : public QWidget {
    Q_OBJECT
  public:
    SliderRow(const QString& label, SliderRange range, ValueFormat format,
              QWidget* parent = nullptr);

    // Shows a value (clamped to the range) without reporting it.
    void setValue(double value);
    double value() const { return value_; }
    QString valueText() const;
    QSlider* slider() const { return slider_; }
    SliderRange range() const { return range_; }

    // The slider position for a value, and back (the slider counts in steps).
    int stepOf(double value) const;
    double valueOfStep(int step) const;

  signals:
    void valueEdited(double value);

  private:
    void showText();

    SliderRange range_;
    ValueFormat format_;
    double value_ = 0;
    QSlider* slider_;
    QLabel* text_;
    QTimer report_;
};

}  // namespace zarvex
