#pragma once

#include <QImage>
#include <QMargins>
#include <QPixmap>
#include <QWidget>

#include "model/theme.h"

class QPainter;

namespace zarvex {

// Measures of themed bars.
inline constexpr double kBarStrokeWidth = 1;        // translucent: white stroke …
inline constexpr double kBarStrokeOpacity = 0.12;   // … at this opacity
inline constexpr double kBarSoftShadowRadius = 10;  // translucent: soft shadow
inline constexpr double kBarSoftShadowOpacity = 0.35;
inline constexpr double kBarSoftShadowOffsetY = 2;
inline constexpr double kBarHardShadowOffset = 3;  // solid: hard shadow in the outline colour

// The room a bar's shadow needs around the bar.
QMargins themedBarShadowMargins(const Theme& theme);

// Draws a bar background over `bar` (widget coordinates of `widget`):
// translucent (no panelColor): a rounded rectangle of ultra-thin material,
// stroked 1 point in white at 0.12, with a soft shadow of radius 10; solid:
// filled with panelColor, stroked outlineWidth in outline (black when
// absent), with a hard shadow in the outline colour offset by 3 points.
// `behind` is the material's snapshot for translucent top-level windows.
void paintThemedBar(QPainter& painter, const QRectF& bar, double cornerRadius,
                    const QWidget& widget, const Theme& theme, const QImage& behind = {});

// A container drawn as a themed bar (toolbars, the selection controls bar).
// Its contents margins keep room for the shadow; give its layout the
// padding inside the bar. Follows the applied theme.
class ThemedBar : public QWidget {
    Q_OBJECT
  public:
    explicit ThemedBar(double cornerRadius, QWidget* parent = nullptr);

    double cornerRadius() const { return cornerRadius_; }
    // The bar itself: the widget less the shadow margins.
    QRectF barRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void restyle();

    double cornerRadius_;
    QImage behind_;
};

}  // namespace zarvex
