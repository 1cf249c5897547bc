#pragma once

#include <QPixmap>
#include <QRectF>
#include <QWidget>

#include "model/theme.h"

class QPainter;

namespace zarvex {

// Measures of the window background.
inline constexpr double kBloomDiameter = 520;
inline constexpr double kBloomShift = 180;
inline constexpr double kBloomOpacityRetro = 0.22;
inline constexpr double kBloomOpacity = 0.16;
inline constexpr double kStageGridSpacing = 24;
inline constexpr double kStageGridOpacity = 0.07;
// The blur of the bloom circle (a Gaussian's standard deviation in points).
inline constexpr double kBloomBlurSigma = 60;

// The bloom circle of an area `size`: 520 × 520 at the top-trailing corner,
// shifted 180 outward (right and up).
QRectF bloomRect(const QSizeF& size);
double bloomOpacity(const Theme& theme);

// Draws the full background of a themed window into `area`: the backdrop
// gradient from the top-leading to the bottom-trailing corner, the blurred
// bloom and the stage grid.
void paintWindowBackdrop(QPainter& painter, const QRectF& area, const Theme& theme);

// A widget that draws the window background under its children; use it as a
// themed window's central widget. It follows the applied theme and keeps one
// cached picture per size and theme.
class WindowBackdrop : public QWidget {
    Q_OBJECT
  public:
    explicit WindowBackdrop(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QPixmap cache_;
};

}  // namespace zarvex
